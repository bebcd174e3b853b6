#include "cli/StationView.h"

#include "cli/Advice.h"

#include <cstdio>
#include <unistd.h>

namespace {

std::string withoutFigures(const std::string& text) {
    std::string shape;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            shape += c;
        }
    }
    return shape;
}

std::int64_t percentOf(std::int64_t value, std::int64_t maximum) {
    return maximum > 0 ? std::min<std::int64_t>(100, std::max<std::int64_t>(0, value) * 100 / maximum) : 0;
}

std::string seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", value);
    return text;
}

// Port names and serial numbers come from the system and from USB devices: shown without control
// characters, so nothing they hold can move the cursor or clear the screen.
std::string printable(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return text;
}

std::string column(const std::string& text, std::size_t size) {
    std::string cell = text.size() > size ? "..." + text.substr(text.size() - (size - 3)) : text;
    cell.resize(size, ' ');
    return cell;
}

std::string failedText(const std::map<std::string, std::size_t>& failed) {
    std::string text;
    for (const auto& [outcome, n] : failed) {
        text += (text.empty() ? "" : ", ") + outcome + " " + std::to_string(n);
    }
    return text;
}

std::string countsText(const StationSummary::Counts& counts) {
    std::size_t failed = 0;
    for (const auto& [outcome, n] : counts.failed) {
        failed += n;
    }
    std::string text = std::to_string(counts.done) + " done, " + std::to_string(failed) + " failed";
    if (failed > 0) {
        text += " (" + failedText(counts.failed) + ")";
    }
    return text;
}

JsonObject countsJson(const StationSummary::Counts& counts) {
    JsonObject failed;
    for (const auto& [outcome, n] : counts.failed) {
        failed.add(outcome, std::int64_t(n));
    }
    return JsonObject().add("done", std::int64_t(counts.done)).addRaw("failed", failed.str());
}

} // namespace

StationView::StationView(const Output& out, Style style, std::size_t width)
    : out(out), style(style), width(std::max<std::size_t>(width, 60)) {}

StationView::Style StationView::styleFor(const Output& out) {
    if (out.json()) {
        return Style::json;
    }
    return isatty(STDOUT_FILENO) ? Style::terminal : Style::plain;
}

std::string StationView::label(const SlotPort& port) {
    return printable(port.slotName + ": " + port.port);
}

StationView::Row& StationView::rowFor(const SlotPort& port) {
    for (Row& row : rows) {
        if (row.slot == port.slot && row.port == port.port) {
            return row;
        }
    }
    for (Row& row : rows) {
        if (row.slot == port.slot && row.port.empty()) {
            row.port = port.port;
            return row;
        }
    }
    // A further socket of a slot: its line goes below the slot's others.
    std::size_t at = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        if (rows[i].slot <= port.slot) {
            at = i + 1;
        }
    }
    Row row;
    row.slot = port.slot;
    row.slotName = port.slotName;
    row.port = port.port;
    return *rows.insert(rows.begin() + std::ptrdiff_t(at), std::move(row));
}

void StationView::line(const std::string& text) {
    if (style == Style::terminal && drawnRows > 0) {
        std::fputs(("\033[" + std::to_string(drawnRows) + "A\r\033[J").c_str(), stdout);
        drawnRows = 0;
        out.say(text);
        draw(true);
        return;
    }
    out.say(text);
}

std::string StationView::rowText(const Row& row) const {
    const std::int64_t percent = percentOf(row.value, row.maximum);
    std::string text = column(row.slotName, 14) + " " +
                       column(row.port.empty() ? "(waiting)" : row.port, 24) + " " +
                       column(row.serial.empty() ? "-" : row.serial, 14) + " " +
                       column(row.phase.empty() ? "-" : row.phase, 30) + " " +
                       column(row.maximum > 0 ? std::to_string(percent) + "%" : "", 4) + " " +
                       (row.last.empty() ? "-" : row.last);
    text = printable(text);
    if (text.size() > width - 1) {
        text.resize(width - 1);
    }
    return text;
}

void StationView::draw(bool force) {
    if (style != Style::terminal) {
        return;
    }
    const auto now = Clock::now();
    if (!force && drawnRows > 0 && now - lastDraw < std::chrono::milliseconds(100)) {
        return;
    }
    lastDraw = now;
    std::string frame;
    if (drawnRows > 0) {
        frame += "\033[" + std::to_string(drawnRows) + "A";
    }
    frame += "\r\033[K" + column("SLOT", 14) + " " + column("PORT", 24) + " " + column("USB SERIAL", 14) +
             " " + column("PHASE", 30) + " " + column("%", 4) + " LAST RESULT\n";
    for (const Row& row : rows) {
        frame += "\r\033[K" + rowText(row) + "\n";
    }
    std::fputs(frame.c_str(), stdout);
    std::fflush(stdout);
    drawnRows = rows.size() + 1;
}

void StationView::watching(const std::vector<std::string>& slots, const std::string& where, bool polling) {
    std::string names;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        names += (i ? ", " : "") + slots[i];
        Row row;
        row.slot = i;
        row.slotName = slots[i].substr(0, slots[i].find(" ("));
        rows.push_back(std::move(row));
    }
    out.event(JsonObject()
                  .add("event", "watching")
                  .add("folder", where)
                  .add("polling", polling)
                  .addRaw("slots", [&] {
                      std::string list = "[";
                      for (std::size_t i = 0; i < slots.size(); ++i) {
                          if (i > 0) {
                              list += ',';
                          }
                          list += jsonString(slots[i]);
                      }
                      return list + "]";
                  }()));
    line("station: watching " + where + (polling ? " (polling once a second)" : "") + " for slot" +
         (slots.size() == 1 ? " " : "s ") + printable(names) + "; Ctrl-C stops");
    draw(true);
}

void StationView::image(const ImageFacts* facts, const std::string& path, const std::string& problem) {
    JsonObject json;
    json.add("event", "image").add("path", path).add("ok", facts != nullptr);
    if (facts != nullptr) {
        json.add("bytes", std::int64_t(facts->bytes))
            .add("sha256", facts->sha256)
            .add("version", facts->version);
        out.event(json);
        line("station: image " + printable(path) + ": " +
             (facts->version.empty() ? "no version block" : "version " + facts->version) + ", " +
             std::to_string(facts->bytes) + " bytes, sha256 " + facts->sha256.substr(0, 16));
    } else {
        out.event(json.add("problem", problem));
        line("station: image " + printable(path) + " cannot be used: " + problem +
             "; no new devices until it can");
    }
}

void StationView::arrived(const SlotPort& port) {
    Row& row = rowFor(port);
    row.serial = port.serial;
    row.phase = "arrived";
    row.maximum = row.value = 0;
    out.event(JsonObject()
                  .add("event", "arrival")
                  .add("slot", port.slotName)
                  .add("port", port.port)
                  .add("serial", port.serial));
    if (style != Style::terminal) {
        line(label(port) + " arrived" +
             (port.serial.empty() ? "" : " (serial " + printable(port.serial) + ")"));
    }
    draw(true);
}

void StationView::left(const SlotPort& port) {
    Row& row = rowFor(port);
    row.phase = "gone";
    row.maximum = row.value = 0;
    out.event(JsonObject().add("event", "departure").add("slot", port.slotName).add("port", port.port));
    if (style != Style::terminal) {
        line(label(port) + " left");
    }
    draw(true);
}

void StationView::started(const SlotPort& port) {
    Row& row = rowFor(port);
    row.phase = "starting";
    row.maximum = row.value = 0;
    row.lastPercentShown = -1;
    row.printed.clear();
    out.event(JsonObject().add("event", "start").add("slot", port.slotName).add("port", port.port));
    if (style != Style::terminal) {
        line(label(port) + ": updating");
    }
    draw(true);
}

void StationView::progress(const SlotPort& port, const DeviceEvent& event) {
    Row& row = rowFor(port);
    switch (event.kind) {
    case DeviceEvent::Kind::status:
        if (event.text.empty()) {
            break;
        }
        row.phase = event.text;
        out.event(JsonObject()
                      .add("event", "status")
                      .add("slot", port.slotName)
                      .add("port", port.port)
                      .add("text", event.text));
        if (style == Style::plain && row.printed.insert(withoutFigures(event.text)).second) {
            line(label(port) + ": " + event.text);
        }
        draw(false);
        break;
    case DeviceEvent::Kind::progressMaximum:
        row.maximum = event.value;
        row.value = 0;
        row.lastPercentShown = -1;
        break;
    case DeviceEvent::Kind::progressValue: {
        row.value = event.value;
        const std::int64_t percent = percentOf(row.value, row.maximum);
        if (style == Style::json && row.maximum > 0 && percent != row.lastPercentShown) {
            row.lastPercentShown = percent;
            out.event(JsonObject()
                          .add("event", "progress")
                          .add("slot", port.slotName)
                          .add("port", port.port)
                          .add("value", row.value)
                          .add("maximum", row.maximum)
                          .add("percent", percent));
        }
        draw(false);
        break;
    }
    case DeviceEvent::Kind::message:
        if (event.message.icon == MessageIcon::error) {
            out.event(JsonObject()
                          .add("event", "message")
                          .add("slot", port.slotName)
                          .add("port", port.port)
                          .add("icon", "error")
                          .add("caption", event.message.caption)
                          .add("text", event.message.text)
                          .add("detail", event.message.detail));
        }
        break;
    default:
        break;
    }
}

void StationView::finished(const SlotPort& port, const JobResult& result, const std::string& text,
                           double took) {
    Row& row = rowFor(port);
    const int code = exitCodeFor(result.outcome);
    const std::string outcome = outcomeName(result.outcome);
    row.phase = "done";
    row.maximum = row.value = 0;
    row.last = (code == 0 ? outcome : "FAILED (" + outcome + ")") + " " + seconds(took);
    out.event(JsonObject()
                  .add("event", "result")
                  .add("slot", port.slotName)
                  .add("port", port.port)
                  .add("serial", port.serial)
                  .add("ok", code == 0)
                  .add("outcome", outcome)
                  .add("exit", std::int64_t(code))
                  .add("seconds", took)
                  .add("text", text));
    line(label(port) + ": " + (code == 0 ? text : "FAILED (" + outcome + "): " + text) + " (" +
         seconds(took) + ")");
}

void StationView::notice(const std::string& text) {
    out.event(JsonObject().add("event", "notice").add("text", text));
    line("station: " + printable(text));
}

void StationView::summary(const StationSummary& summary) {
    JsonObject slots;
    for (const auto& [name, counts] : summary.slots) {
        slots.addRaw(name, countsJson(counts).str());
    }
    out.event(JsonObject()
                  .add("event", "summary")
                  .addRaw("all", countsJson(summary.all).str())
                  .addRaw("slots", slots.str())
                  .add("cutShort", summary.cutShort)
                  .add("recordsLost", std::int64_t(summary.recordsLost)));
    if (style == Style::terminal) {
        draw(true);
    }
    std::size_t devices = summary.all.done;
    for (const auto& [outcome, n] : summary.all.failed) {
        devices += n;
    }
    out.say("station stopped: " + std::to_string(devices) + " device" + (devices == 1 ? "" : "s") + ": " +
            countsText(summary.all) + (summary.cutShort ? "; running updates were cut short" : ""));
    for (const auto& [name, counts] : summary.slots) {
        out.say("  " + printable(name) + ": " + countsText(counts));
    }
    if (summary.recordsLost > 0) {
        out.say("  " + std::to_string(summary.recordsLost) + " record(s) not written: see above");
    }
}

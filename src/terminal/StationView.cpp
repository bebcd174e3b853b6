#include "terminal/StationView.h"

#include "terminal/LineFit.h"
#include "vtc880/Figures.h"
#include "vtc880/Format.h"
#include "vtc880/JsonEvents.h"
#include "vtc880/ResultText.h"
#include "vtc880/StationEvents.h"
#include "vtc880/Utf8.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <optional>

namespace vtc880 {

namespace {

std::string seconds(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", value);
    return text;
}

// A cell of the table at most `most` columns wide: cut at its end, or, for a device path whose end
// tells it apart, at its front. Port names and serial numbers come from the system and from USB
// devices: shown printable(), so nothing they hold can move the cursor or clear the screen.
std::string headOf(const std::string& text, std::size_t most) {
    return columns(text) <= most ? printable(text) : headColumns(text, most - 3) + "...";
}
std::string tailOf(const std::string& text, std::size_t most) {
    return columns(text) <= most ? printable(text) : "..." + tailColumns(text, most - 3);
}

// The table's columns, in their order. `keep` says which go first when a line is too narrow (lowest
// first): the bar, the serial, the port, the last result, the time left, the percent; the slot and
// the phase (which says how the last update ended once it has) stay. Every line has every column, padded to
// the column's width, so that every line loses the same columns and they line up.
enum Column {
    slotColumn,
    portColumn,
    serialColumn,
    phaseColumn,
    percentColumn,
    barColumn,
    leftColumn,
    lastColumn
};
constexpr std::size_t columnCount = 8;
constexpr std::array<int, columnCount> keep{9, 4, 3, 8, 7, 2, 6, 5};
constexpr std::size_t barWidth = 16;
constexpr std::size_t leastLast = 16; // the last result may be cut ("FAILED (verify..." down to this
constexpr std::size_t mostSlot = 16;
constexpr std::size_t mostPort = 24;
constexpr std::size_t mostSerial = 20;

using Cells = std::array<std::string, columnCount>;

std::string failedText(const std::map<Outcome, std::size_t>& failed) {
    std::string text;
    for (const auto& [outcome, n] : failed) {
        text += (text.empty() ? "" : ", ") + std::string(outcomeText(outcome)) + " " + std::to_string(n);
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

} // namespace

StationView::StationView(const Output& out, Style style) : out(out), style(style) {
    if (style == Style::terminal) {
        live = std::make_unique<LiveLines>(out);
    }
}

StationView::Style StationView::styleFor(const Output& out) {
    return viewStyleFor(out);
}

std::string StationView::label(const SlotPort& port) {
    return port.slotName + ": " + port.port;
}

StationView::Row& StationView::rowFor(const SlotPort& port) {
    for (Row& row : rows) {
        if (row.slot == port.slot && row.port == port.port) {
            return row;
        }
    }
    // A line of the slot that no port holds: boards that come and go keep their slot's line instead
    // of adding one each.
    for (Row& row : rows) {
        if (row.slot == port.slot && (row.port.empty() || (!row.present && !row.run))) {
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
    const bool shown = live && live->shown();
    if (live) {
        live->clear();
    }
    out.say(text);
    if (shown) {
        draw(true);
    }
}

std::vector<std::string> StationView::tableLines(std::size_t width, Clock::time_point now) const {
    std::vector<Cells> lines;
    std::vector<std::optional<double>> bars; // the bar's fraction, for the lines that have one
    lines.push_back({"SLOT", "PORT", "USB SERIAL", "PHASE", "%", "", "LEFT", "LAST RESULT"});
    bars.emplace_back();
    for (const Row& row : rows) {
        Cells cells;
        cells[slotColumn] = headOf(row.slotName, mostSlot);
        cells[portColumn] = row.port.empty() ? "-" : tailOf(row.port, mostPort);
        cells[serialColumn] = row.serial.empty() ? "-" : headOf(row.serial, mostSerial);
        cells[phaseColumn] = row.state;
        cells[lastColumn] = row.last.empty() ? "-" : row.last;
        std::optional<double> bar;
        if (row.run) {
            const DeviceProgress& progress = row.run->progress();
            cells[phaseColumn] = progress.phase() ? phaseText(*progress.phase()) : "starting";
            if (progress.measured()) {
                cells[percentColumn] = formatText("%3d%%", progress.percent());
                bar = progress.percent() / 100.0;
            }
            if (const std::optional<double> left = progress.secondsLeft(now)) {
                cells[leftColumn] = clockText(*left);
            }
        }
        lines.push_back(std::move(cells));
        bars.push_back(bar);
    }

    // Columns that hold figures or phases start as wide as they get, so that they do not move as
    // updates go on.
    std::array<std::size_t, columnCount> widths{};
    for (std::size_t phase = 0; phase < phaseCount; ++phase) {
        widths[phaseColumn] = std::max(widths[phaseColumn], columns(phaseText(Phase(phase))));
    }
    widths[percentColumn] = std::string("100%").size();
    widths[barColumn] = barWidth;
    widths[leftColumn] = std::string("10:00").size();
    widths[lastColumn] = leastLast;
    for (const Cells& cells : lines) {
        for (std::size_t c = 0; c < columnCount; ++c) {
            if (c != barColumn && c != lastColumn) {
                widths[c] = std::max(widths[c], columns(cells[c]));
            }
        }
    }
    std::vector<std::string> fitted;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        std::vector<LineField> fields;
        for (std::size_t c = 0; c < columnCount; ++c) {
            std::string text = lines[i][c];
            if (c == percentColumn) {
                text.insert(0, widths[c] - std::min(widths[c], columns(text)), ' '); // figures to the right
            } else {
                text = padColumns(text, widths[c]);
            }
            if (c == barColumn && bars[i]) {
                fields.push_back({LineField::Kind::bar, {}, keep[c], barWidth, barWidth, *bars[i]});
            } else if (c == lastColumn) {
                fields.push_back({LineField::Kind::keepHead, text, keep[c], leastLast});
            } else {
                fields.push_back({LineField::Kind::text, text, keep[c]});
            }
        }
        std::string fit = fitLine(fields, width);
        fit.erase(fit.find_last_not_of(' ') + 1);
        fitted.push_back(std::move(fit));
    }
    return fitted;
}

void StationView::draw(bool force) {
    if (!live || rows.empty() || !live->due(force)) {
        return;
    }
    live->draw(tableLines(live->width(), Clock::now()));
}

void StationView::tick() {
    if (!live || !live->shown()) {
        return;
    }
    const bool resized = live->resized();
    const bool running = std::any_of(rows.begin(), rows.end(), [](const Row& row) { return bool(row.run); });
    if (resized || running) {
        draw(resized); // a running update's time left counts down
    }
}

void StationView::watching(const std::vector<std::string>& slots, const std::string& where, bool polling) {
    std::string names;
    for (std::size_t i = 0; i < slots.size(); ++i) {
        names += (i ? ", " : "") + slots[i];
        Row row;
        row.slot = i;
        row.slotName = slots[i].substr(0, slots[i].find(" ("));
        row.state = "waiting";
        rows.push_back(std::move(row));
    }
    watched = true;
    out.event(watchingEvent(where, polling, slots));
    line("station: watching " + where + (polling ? " (polling once a second)" : "") + " for slot" +
         (slots.size() == 1 ? " " : "s ") + names + "; Ctrl-C stops");
    draw(true);
}

void StationView::image(const ImageFacts* facts, const std::string& path, const std::string& problem) {
    out.event(imageEvent(path, facts, problem));
    if (facts != nullptr) {
        imagePath = path;
        imageVersion = facts->version;
        line("station: image " + path + ": " +
             (facts->version.empty() ? "no version block" : "version " + facts->version) + ", " +
             std::to_string(facts->bytes) + " bytes, sha256 " + facts->sha256.substr(0, 16));
    } else if (!watched) {
        // Refused before the station watched: it does not start.
        line("station: image " + path + " cannot be used: " + problem + "; the station stops");
    } else {
        line("station: image " + path + " cannot be used: " + problem + "; no new devices until it can");
    }
}

void StationView::arrived(const SlotPort& port) {
    Row& row = rowFor(port);
    row.serial = port.serial;
    row.present = true;
    if (!row.run) {
        row.state = "arrived";
    }
    out.event(arrivalEvent(port));
    if (style != Style::terminal) {
        line(label(port) + " arrived" + (port.serial.empty() ? "" : " (serial " + port.serial + ")"));
    }
    draw(true);
}

void StationView::left(const SlotPort& port) {
    Row& row = rowFor(port);
    row.present = false;
    if (!row.run) {
        row.state = "gone";
    }
    out.event(departureEvent(port));
    if (style != Style::terminal) {
        line(label(port) + " left");
    }
    draw(true);
}

void StationView::started(const SlotPort& port, const RunPlan& plan) {
    Row& row = rowFor(port);
    row.run = std::make_unique<DeviceLog>(out, style, label(port), port.port, port.slotName, plan);
    out.event(startEvent(port.port, port.port, plan, imagePath, imageVersion, port.slotName));
    if (style != Style::terminal) {
        line(label(port) + ": updating");
    }
    draw(true);
}

void StationView::progress(const SlotPort& port, const DeviceEvent& event) {
    Row& row = rowFor(port);
    if (!row.run) {
        return;
    }
    switch (row.run->apply(event)) {
    case DeviceLog::Change::phase:
        draw(true);
        break;
    case DeviceLog::Change::progress:
        draw(false);
        break;
    case DeviceLog::Change::none:
        break;
    }
}

void StationView::finished(const SlotPort& port, const RunResult& result, const std::string& text,
                           double took) {
    Row& row = rowFor(port);
    row.run.reset();
    row.state = !row.present ? "gone" : result.outcome == Outcome::succeeded ? "updated" : "FAILED";
    row.last = briefResult(result, Operation::update);
    out.event(resultEvent(port.port, result, port.slotName, port.serial));
    // A success says its time; a failure says when it came.
    line(resultLine(label(port), result, text) +
         (result.outcome == Outcome::succeeded ? "" : " (after " + seconds(took) + ")"));
}

void StationView::notice(const std::string& text) {
    out.event(noticeEvent(text));
    line("station: " + text);
}

void StationView::summary(const StationSummary& summary) {
    out.event(stationSummaryEvent(summary));
    draw(true);
    const std::size_t devices = summary.all.devices();
    out.say("station stopped: " + std::to_string(devices) + " device" + (devices == 1 ? "" : "s") + ": " +
            countsText(summary.all) + (summary.cutShort ? "; running updates were cut short" : ""));
    for (const auto& [name, counts] : summary.slots) {
        out.say("  " + name + ": " + countsText(counts));
    }
    if (summary.recordsLost > 0) {
        out.say("  " + std::to_string(summary.recordsLost) + " record(s) not written: see above");
    }
}

} // namespace vtc880

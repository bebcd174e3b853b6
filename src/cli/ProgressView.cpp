#include "cli/ProgressView.h"

#include <cstdio>
#include <unistd.h>

namespace {

std::string firstWord(const std::string& text) {
    return text.substr(0, text.find(' '));
}

// A status text without its figures: "Copying 3ko / 50ko  (6%)" and "Copying 4ko / 50ko  (8%)" are
// the same line to a log.
std::string withoutFigures(const std::string& text) {
    std::string shape;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            shape += c;
        }
    }
    return shape;
}

std::string humanBytes(double bytes) {
    char text[32];
    if (bytes >= 1024 * 1024) {
        std::snprintf(text, sizeof text, "%.1f MiB", bytes / (1024 * 1024));
    } else if (bytes >= 1024) {
        std::snprintf(text, sizeof text, "%.1f KiB", bytes / 1024);
    } else {
        std::snprintf(text, sizeof text, "%.0f B", bytes);
    }
    return text;
}

std::int64_t percentOf(std::int64_t value, std::int64_t maximum) {
    return maximum > 0 ? std::min<std::int64_t>(100, value * 100 / maximum) : 0;
}

} // namespace

ProgressView::Style ProgressView::styleFor(const Output& out) {
    if (out.json()) {
        return Style::json;
    }
    return isatty(STDOUT_FILENO) ? Style::terminal : Style::plain;
}

ProgressView::ProgressView(const Output& out, std::vector<std::string> ports, Style style)
    : out(out), style(style) {
    for (std::string& port : ports) {
        Device device;
        device.port = std::move(port);
        devices.push_back(std::move(device));
    }
}

void ProgressView::apply(const DeviceEvent& event) {
    if (event.device < 0 || std::size_t(event.device) >= devices.size()) {
        return;
    }
    Device& device = devices[std::size_t(event.device)];
    switch (event.kind) {
    case DeviceEvent::Kind::status:
        onStatus(device, event.text);
        break;
    case DeviceEvent::Kind::progressMaximum:
        device.maximum = event.value;
        device.value = 0;
        device.phaseStart = Clock::now();
        device.lastPercentShown = -1;
        break;
    case DeviceEvent::Kind::progressValue:
        device.value = event.value;
        onProgress(device);
        break;
    case DeviceEvent::Kind::message: {
        const Message& m = event.message;
        const std::string kind = m.icon == MessageIcon::error ? "error" : "info";
        std::string line = device.port + ": " + m.caption + ": " + m.text;
        for (char& c : line) {
            c = c == '\n' ? ' ' : c;
        }
        if (!m.detail.empty()) {
            line += " (" + m.detail + ")";
        }
        if (style == Style::json) {
            out.event(JsonObject()
                          .add("event", "message")
                          .add("port", device.port)
                          .add("icon", kind)
                          .add("caption", m.caption)
                          .add("text", m.text)
                          .add("detail", m.detail));
        }
        note(line);
        break;
    }
    default:
        break;
    }
}

void ProgressView::onStatus(Device& device, const std::string& text) {
    const bool newKind = firstWord(text) != firstWord(device.status);
    device.status = text;
    switch (style) {
    case Style::json:
        out.event(JsonObject().add("event", "status").add("port", device.port).add("text", text));
        break;
    case Style::plain:
        // Progress texts change with every chunk and repeat for every block; a log needs each once.
        if (!text.empty() && device.printed.insert(withoutFigures(text)).second) {
            plainLine(device, text);
        }
        break;
    case Style::terminal:
        draw(newKind);
        break;
    }
}

void ProgressView::onProgress(Device& device) {
    const std::int64_t percent = percentOf(device.value, device.maximum);
    switch (style) {
    case Style::json:
        if (percent != device.lastPercentShown) {
            device.lastPercentShown = percent;
            out.event(JsonObject()
                          .add("event", "progress")
                          .add("port", device.port)
                          .add("value", device.value)
                          .add("maximum", device.maximum)
                          .add("percent", percent));
        }
        break;
    case Style::plain:
        if (device.maximum > 0 && device.value > 0 && percent / 25 != device.lastPercentShown / 25) {
            device.lastPercentShown = percent;
            plainLine(device, "  " + std::to_string(percent) + "% (" + std::to_string(device.value) + " of " +
                                  std::to_string(device.maximum) + ")");
        }
        break;
    case Style::terminal:
        draw(false);
        break;
    }
}

void ProgressView::plainLine(const Device& device, const std::string& text) const {
    out.say(device.port + ": " + text);
}

std::string ProgressView::barLine(const Device& device) const {
    constexpr int width = 24;
    const std::int64_t percent = percentOf(device.value, device.maximum);
    const int filled = int(percent * width / 100);
    std::string line = device.port + "  " + device.status.substr(0, 40);
    line.resize(std::max<std::size_t>(line.size(), 52), ' ');
    line += '[';
    line.append(std::size_t(filled), '#');
    line.append(std::size_t(width - filled), '.');
    line += "] ";
    char tail[96];
    std::snprintf(tail, sizeof tail, "%3lld%%", static_cast<long long>(percent));
    line += tail;
    const double seconds = std::chrono::duration<double>(Clock::now() - device.phaseStart).count();
    if (firstWord(device.status) == "Erasing") {
        // The erase's progress counts milliseconds of the announced time, not bytes.
        std::snprintf(tail, sizeof tail, "  %.1f s / %.1f s", double(device.value) / 1000,
                      double(device.maximum) / 1000);
        line += tail;
    } else if (device.maximum > 0 && device.value > 0 && seconds > 0.2) {
        const double rate = double(device.value) / seconds;
        const double left = double(device.maximum - device.value) / rate;
        std::snprintf(tail, sizeof tail, "  %s / %s  %s/s  %.0f s left",
                      humanBytes(double(device.value)).c_str(), humanBytes(double(device.maximum)).c_str(),
                      humanBytes(rate).c_str(), left);
        line += tail;
    }
    return line;
}

void ProgressView::draw(bool force) {
    const auto now = Clock::now();
    if (!force && drawn && now - lastDraw < std::chrono::milliseconds(100)) {
        return;
    }
    lastDraw = now;
    std::string frame;
    if (drawn) {
        frame += "\033[" + std::to_string(devices.size()) + "A";
    }
    for (const Device& device : devices) {
        frame += "\r\033[K" + barLine(device) + "\n";
    }
    std::fputs(frame.c_str(), stdout);
    std::fflush(stdout);
    drawn = true;
}

void ProgressView::note(const std::string& line) {
    if (style == Style::terminal && drawn) {
        // Print above the bars: clear them, print, draw them again below.
        std::fputs(("\033[" + std::to_string(devices.size()) + "A\r\033[J").c_str(), stdout);
        drawn = false;
        out.say(line);
        draw(true);
        return;
    }
    out.say(line);
}

void ProgressView::finish() {
    if (style == Style::terminal) {
        draw(true);
    }
}

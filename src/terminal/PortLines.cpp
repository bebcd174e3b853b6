#include "terminal/PortLines.h"

#include "vtc880/DeviceCodes.h"

#include <cstdio>

namespace vtc880 {

namespace {

// An update's speed when every chunk waits `timerMs` for its Ack in the adapter: one ProgramChunk
// of 100 bytes out and its 8-byte Ack back, 10 bits a byte on the line, at 921600 bit/s. In KB/s.
double updateRate(int timerMs) {
    constexpr double bitsPerByte = 10;
    constexpr double chunkFrame = Frame::sentHeaderSize + Chunk::maxPayload + Frame::trailerSize;
    constexpr double ackFrame = Frame::receivedHeaderSize + Frame::trailerSize;
    const double lineMs = (chunkFrame + ackFrame) * bitsPerByte * 1000.0 / Speed::usbInitial;
    return Chunk::maxBytes / (lineMs + timerMs); // bytes per ms is KB/s
}

std::string oneDecimal(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

} // namespace

std::vector<std::string> latencyTimerAdvice(const Port& port) {
    if (port.latencyTimerMs <= 1) {
        return {};
    }
    const std::string ms = std::to_string(port.latencyTimerMs);
    return {
        "  the adapter holds each 8-byte reply up to " + ms + " ms: an update at 921600 bit/s moves about " +
            oneDecimal(updateRate(port.latencyTimerMs)) + " KB/s instead of " + oneDecimal(updateRate(1)) +
            " KB/s at 1 ms",
        "  vtc880 asks for 1 ms while it holds the port; to set it for good, install the udev rule (README: "
        "\"USB serial adapters\"), or until the adapter is unplugged: echo 1 | sudo tee " +
            port.latencyTimerPath,
    };
}

std::vector<std::string> portInfoLines(const Port& port) {
    std::vector<std::string> lines{port.name};
    std::string line = "  device " + port.device;
    if (!port.driver.empty()) {
        line += "  driver " + port.driver;
    }
    lines.push_back(line);
    if (const std::string usb = usbText(port); !usb.empty()) {
        lines.push_back("  usb " + usb + (port.usb.serial.empty() ? "" : "  serial " + port.usb.serial));
    }
    if (!port.byId.empty() && port.byId.front() != port.name) {
        lines.push_back("  by-id " + port.byId.front());
    }
    if (port.latencyTimerMs >= 0) {
        lines.push_back("  latency timer " + std::to_string(port.latencyTimerMs) + " ms" +
                        (port.latencyTimerMs > 1 ? ": high" : ""));
        for (std::string& advice : latencyTimerAdvice(port)) {
            lines.push_back(std::move(advice));
        }
    }
    lines.push_back(port.mayOpen ? "  you may open it" : "  you may not open it: " + port.accessNote);
    return lines;
}

} // namespace vtc880

#include "vtc880/TraceFile.h"

#include "vtc880/CodeNames.h"

#include <cerrno>
#include <cstring>

namespace vtc880 {

namespace {

std::string hexBytes(const std::uint8_t* bytes, std::size_t size) {
    std::string text;
    text.reserve(size * 3);
    char hex[4];
    for (std::size_t i = 0; i < size; ++i) {
        std::snprintf(hex, sizeof hex, "%s%02X", i == 0 ? "" : " ", unsigned(bytes[i]));
        text += hex;
    }
    return text;
}

// Printable ASCII as it is, the rest escaped: the speed commands and the preamble read as text.
std::string asText(const std::uint8_t* bytes, std::size_t size) {
    std::string text = "\"";
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = bytes[i];
        if (b == '\r') {
            text += "\\r";
        } else if (b == '"' || b == '\\') {
            text += '\\';
            text += char(b);
        } else if (b >= 0x20 && b < 0x7F) {
            text += char(b);
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", unsigned(b));
            text += hex;
        }
    }
    return text + "\"";
}

std::string decoded(const TracedFrame& frame) {
    std::string text = frame.sent ? codeName(frame.code) : replyName(std::uint8_t(frame.code));
    text += "  length " + std::to_string(frame.length);
    if (frame.chunk) {
        char chunk[64];
        std::snprintf(chunk, sizeof chunk, "  address 0x%X  count %u", frame.address, frame.count);
        text += chunk;
    }
    return text + (frame.valid ? "  checksum valid" : "  checksum or end byte invalid");
}

} // namespace

TraceFile::TraceFile(const std::string& path) {
    if (path == "-") {
        file = stderr;
        return;
    }
    file = std::fopen(path.c_str(), "w");
    if (file == nullptr) {
        openProblem = path + ": cannot write the trace: " + std::strerror(errno);
        return;
    }
    ownsFile = true;
}

TraceFile::~TraceFile() {
    if (ownsFile) {
        std::fclose(file);
    }
}

TraceHook TraceFile::hookFor(const std::string& device) {
    if (file == nullptr) {
        return {};
    }
    return [this, device](const TraceEvent& event) { write(device, event); };
}

std::string TraceFile::line(const std::string& device, const TraceEvent& event,
                            std::chrono::steady_clock::duration origin) {
    char time[64];
    std::snprintf(time, sizeof time, "%10.6f s  @%-7d ",
                  std::chrono::duration<double>(event.time - origin).count(), int(event.speed));
    std::string text = time + device + (event.sent ? "  sent      " : "  received  ");
    if (event.frame != nullptr) {
        text += "frame " + decoded(*event.frame) + "  bytes: " + hexBytes(event.bytes, event.size);
    } else if (event.sent) {
        text += asText(event.bytes, event.size);
    } else {
        text += "bytes: " + hexBytes(event.bytes, event.size);
    }
    return text;
}

void TraceFile::write(const std::string& device, const TraceEvent& event) {
    const std::lock_guard lock(mutex);
    if (!started) {
        started = true;
        origin = event.time;
    }
    const std::string text = line(device, event, origin) + "\n";
    std::fputs(text.c_str(), file);
    std::fflush(file);
}

} // namespace vtc880

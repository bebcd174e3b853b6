#include "sim/TranscriptText.h"

#include "vtc880/CodeNames.h"

#include <cstdio>

using namespace vtc880;

namespace sim {

namespace {

constexpr std::size_t shownBytes = 16;

std::string escaped(const std::string& text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\' || c == '"')
            out += std::string("\\") + c;
        else if (byte < 0x20 || byte >= 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", unsigned(byte));
            out += hex;
        } else
            out += c;
    }
    return out;
}

} // namespace

std::string describe(const Received& entry, std::chrono::steady_clock::time_point origin) {
    const double seconds = std::chrono::duration<double>(entry.time - origin).count();
    char head[64];
    std::snprintf(head, sizeof head, "%8.3f s  @%d  ", seconds, int(entry.speed));
    std::string line = head;
    if (entry.kind == Received::Kind::ascii)
        return line + "ascii  \"" + escaped(entry.text) + "\"";
    line += entry.kind == Received::Kind::frame ? "frame  " : "bad frame  ";
    line += codeName(entry.code) + "  " + std::to_string(entry.data.size()) + " bytes";
    if (entry.data.empty())
        return line;
    line += ":";
    for (std::size_t i = 0; i < entry.data.size() && i < shownBytes; ++i) {
        char hex[4];
        std::snprintf(hex, sizeof hex, " %02X", unsigned(entry.data[i]));
        line += hex;
    }
    if (entry.data.size() > shownBytes)
        line += " ...";
    return line;
}

} // namespace sim

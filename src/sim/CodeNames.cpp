#include "sim/CodeNames.h"

#include "link/DeviceCodes.h"

#include <array>
#include <cstdio>
#include <strings.h>
#include <utility>

namespace sim {

namespace {

constexpr std::array<std::pair<const char*, std::uint16_t>, 6> names{{
    {"Handshake", Code::Handshake},
    {"EraseTimeQuery", Code::EraseTimeQuery},
    {"EraseAll", Code::EraseAll},
    {"ProgramChunk", Code::ProgramChunk},
    {"VerifyChunk", Code::VerifyChunk},
    {"Finish", Code::Finish},
}};

int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string codeName(std::uint16_t code) {
    for (const auto& [name, value] : names)
        if (value == code)
            return name;
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", unsigned(code));
    return text;
}

std::optional<std::uint16_t> parseCode(const std::string& text) {
    for (const auto& [name, value] : names)
        if (::strcasecmp(text.c_str(), name) == 0)
            return value;
    std::size_t pos = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? 2 : 0;
    const std::size_t digits = text.size() - pos;
    if (digits == 0 || digits > 4)
        return std::nullopt;
    std::uint16_t code = 0;
    for (; pos < text.size(); ++pos) {
        const int digit = hexDigit(text[pos]);
        if (digit < 0)
            return std::nullopt;
        code = std::uint16_t(code << 4 | digit);
    }
    return code;
}

} // namespace sim

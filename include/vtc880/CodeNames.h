#pragma once

#include "vtc880/DeviceCodes.h"
#include "vtc880/Utf8.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <utility>

namespace vtc880 {

// The codes of the device conversation by name, for options, transcripts and traces: the updater's
// trace and the simulated device's transcript say the same. Header only, like the codes themselves:
// the simulated device shares them without sharing the updater's code.

namespace codenames {

constexpr std::array<std::pair<const char*, std::uint16_t>, 6> names{{
    {"Handshake", Code::Handshake},
    {"EraseTimeQuery", Code::EraseTimeQuery},
    {"EraseAll", Code::EraseAll},
    {"ProgramChunk", Code::ProgramChunk},
    {"VerifyChunk", Code::VerifyChunk},
    {"Finish", Code::Finish},
}};

inline int hexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace codenames

// "Handshake", ...; "0x1234" for a code without a name.
inline std::string codeName(std::uint16_t code) {
    for (const auto& [name, value] : codenames::names)
        if (value == code)
            return name;
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", unsigned(code));
    return text;
}

// A name (any letter case) or a hexadecimal number, with or without 0x, of at most four digits.
inline std::optional<std::uint16_t> parseCode(const std::string& text) {
    for (const auto& [name, value] : codenames::names)
        if (equalsIgnoringAsciiCase(text, name))
            return value;
    std::size_t pos = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? 2 : 0;
    const std::size_t digits = text.size() - pos;
    if (digits == 0 || digits > 4)
        return std::nullopt;
    std::uint16_t code = 0;
    for (; pos < text.size(); ++pos) {
        const int digit = codenames::hexDigit(text[pos]);
        if (digit < 0)
            return std::nullopt;
        code = std::uint16_t(code << 4 | digit);
    }
    return code;
}

// The command byte of a reply: "Ack", "ErrorReply"; "0x3F" for any other.
inline std::string replyName(std::uint8_t command) {
    if (command == Reply::Ack)
        return "Ack";
    if (command == Reply::ErrorReply)
        return "ErrorReply";
    char text[8];
    std::snprintf(text, sizeof text, "0x%02X", unsigned(command));
    return text;
}

} // namespace vtc880

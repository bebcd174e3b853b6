#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sim {

// The command codes by name, for options and printed transcripts.
std::string codeName(std::uint16_t code); // "Handshake", ...; "0x1234" for a code without a name
// A name (any letter case) or a hexadecimal number, with or without 0x, of at most four digits.
std::optional<std::uint16_t> parseCode(const std::string& text);

} // namespace sim

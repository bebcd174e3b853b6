#pragma once

#include <cstdint>
#include <vector>

namespace sim {

// A frame as the device sends it: '*', one command byte, data length (32-bit LE), data, '+', checksum
// (sum modulo 256 of every byte before it).
std::vector<std::uint8_t> replyFrame(std::uint8_t command, const std::vector<std::uint8_t>& data = {});

// Sets the last byte to the checksum of the bytes before it (after a reply was altered on purpose).
void resealReply(std::vector<std::uint8_t>& frame);

} // namespace sim

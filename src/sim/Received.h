#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// One entry of the device's transcript: what it received, when, and at which line speed.
struct Received {
    enum class Kind { ascii, frame, badFrame } kind = Kind::ascii;
    std::chrono::steady_clock::time_point time;                   // when its first byte arrived
    std::vector<std::chrono::steady_clock::time_point> byteTimes; // ascii: each character's arrival
    std::string text;                                             // ascii: the characters, e.g. "1BR115200\r"
    std::uint16_t code = 0;         // frame, badFrame: command code (as far as it was received)
    std::vector<std::uint8_t> data; // frame, badFrame: data bytes (as far as they were received)
    std::int32_t speed = 0;         // the device's line speed when it arrived
};

} // namespace sim

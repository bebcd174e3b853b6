#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <termios.h>

namespace sim {

// Line speeds as numbers of bits per second, and the termios constants that carry them.
std::optional<speed_t> speedConstant(std::int32_t bitsPerSecond); // none for a speed termios cannot set
std::int32_t bitsPerSecond(speed_t constant);                     // 0 for none of the standard speeds

// The output speed set on a terminal (by whoever last configured it), 0 when it cannot be read.
std::int32_t terminalSpeed(int fd);

// Time one byte takes on the line: a start bit, eight data bits and a stop bit.
std::chrono::nanoseconds byteTime(std::int32_t bitsPerSecond);

// What a receiver set to another speed than the sender's makes of a byte: a framing error, read as 0.
constexpr std::uint8_t garbledByte = 0x00;

} // namespace sim

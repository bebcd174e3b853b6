#pragma once

#include <cstdint>
#include <string>

namespace vtc880 {

// printf-style formatting into a string of whatever length the result needs.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// value with one decimal place and a '.' whatever the process locale (a GUI may set one).
std::string oneDecimal(double value);

// 1234567 as "1,234,567": byte counts a person reads at a glance.
std::string groupedThousands(std::uint64_t value);

} // namespace vtc880

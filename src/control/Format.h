#pragma once

#include <string>

// printf-style formatting into a string of whatever length the result needs.
std::string formatText(const char* format, ...) __attribute__((format(printf, 1, 2)));

// value with one decimal place and a '.' whatever the process locale (a GUI may set one).
std::string oneDecimal(double value);

#include "vtc880/Format.h"

#include <charconv>
#include <cstdarg>
#include <cstdio>
#include <vector>

namespace vtc880 {

std::string formatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(nullptr, 0, format, args);
    va_end(args);
    std::string text;
    if (length > 0) {
        std::vector<char> buffer(std::size_t(length) + 1);
        std::vsnprintf(buffer.data(), buffer.size(), format, again);
        text.assign(buffer.data(), std::size_t(length));
    }
    va_end(again);
    return text;
}

std::string oneDecimal(double value) {
    char buffer[320]; // the longest double in fixed notation with one decimal fits
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 1);
    if (result.ec != std::errc()) {
        return "?";
    }
    return std::string(buffer, result.ptr);
}

std::string groupedThousands(std::uint64_t value) {
    std::string digits = std::to_string(value);
    for (std::size_t at = digits.size(); at > 3; at -= 3) {
        digits.insert(at - 3, 1, ',');
    }
    return digits;
}

} // namespace vtc880

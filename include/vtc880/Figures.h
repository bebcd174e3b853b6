#pragma once

#include <string>

namespace vtc880 {

// Sizes, times and rates for people: "976.6 KiB", "1 min 56 s", "8.6 KiB/s". Negative values count
// as 0; the decimal mark is '.' whatever the locale.
std::string bytesText(double bytes);
std::string durationText(double seconds);
std::string rateText(double bytesPerSecond);
// A time left in few columns: "0:07", "1:56", "1:03:20".
std::string clockText(double seconds);

} // namespace vtc880

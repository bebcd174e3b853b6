#pragma once

#include <chrono>
#include <string>

namespace vtc880 {

// A moment as ISO 8601 in UTC with milliseconds: "2024-05-01T10:22:33.123Z". Computed from the
// clock's count itself, so it needs no time-zone data and is the same on every system.
std::string isoUtc(std::chrono::system_clock::time_point moment);

} // namespace vtc880

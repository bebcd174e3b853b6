#pragma once

#include "sim/Received.h"

#include <chrono>
#include <string>

namespace sim {

// One transcript entry as one line of text, its time counted from origin, e.g.
//   "   2.104 s  @115200  ascii  \"1BR115200\\r\""
//   "   4.530 s  @115200  frame  ProgramChunk  108 bytes: 02 00 05 00 04 00 00 00 ..."
std::string describe(const Received& entry, std::chrono::steady_clock::time_point origin);

} // namespace sim

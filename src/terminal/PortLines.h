#pragma once

#include "vtc880/Port.h"

#include <string>
#include <vector>

namespace vtc880 {

// The lines `vtc880 ports` prints for one port: its name, then indented details.
std::vector<std::string> portInfoLines(const Port& port);

// What a USB adapter's latency timer means for an update; empty when it is low.
std::vector<std::string> latencyTimerAdvice(const Port& port);

} // namespace vtc880

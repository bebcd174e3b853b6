#pragma once

#include "sim/Config.h"

namespace sim {

// Runs a simulated device as a program does: prints its port on the first line of standard output,
// answers until SIGINT or SIGTERM, and with `verbose` prints each received entry on standard error.
// Returns the process status: 0, or 1 when the device could not start.
int runUntilStopped(const Config& config, bool verbose);

} // namespace sim

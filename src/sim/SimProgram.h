#pragma once

#include "sim/Config.h"

namespace sim {

// Runs a simulated device as a program does: prints its port on the first line of standard output,
// answers until SIGINT or SIGTERM, and with `verbose` prints each received entry on standard error.
// With Config::line, boards come and go instead (one line of standard output for each plug and
// unplug) until the last board or a signal.
// Returns the process status: 0, or 1 when the device could not start.
int runUntilStopped(const Config& config, bool verbose);

} // namespace sim

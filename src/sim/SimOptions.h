#pragma once

#include "sim/Config.h"

#include <CLI/CLI.hpp>

namespace sim {

// The simulated device's options, one for each Config field, for vtc880-sim and any front end that
// runs the device. Command codes are taken by name (EraseTimeQuery) or in hexadecimal (0x5446).
void addSimOptions(CLI::App& app, Config& config);

} // namespace sim

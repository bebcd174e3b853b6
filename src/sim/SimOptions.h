#pragma once

#include "sim/Config.h"

#include <CLI/CLI.hpp>
#include <chrono>
#include <optional>
#include <string>

namespace sim {

// The simulated device's options, one for each Config field, for vtc880-sim and any front end that
// runs the device. Command codes are taken by name (EraseTimeQuery) or in hexadecimal (0x5446).
void addSimOptions(CLI::App& app, Config& config);

// The options of boards coming and going (Config::line), for the programs that run the device on its
// own; durations are given as 5s, 500ms, 1.5s or 2m.
void addLineOptions(CLI::App& app, Config& config);

// Reads a duration such as "5s", "500ms", "1.5s" or "2m" (a bare number is seconds). Nothing when it
// is not one, negative, or longer than a day.
std::optional<std::chrono::milliseconds> parseDuration(const std::string& text);

} // namespace sim

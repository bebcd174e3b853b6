#pragma once

#include "link/RS232.h"

#include <cstdint>
#include <string>

namespace vtc880 {

// The one place that words why a port did not open, or went away, for the window and the CLI.

// Why a port did not open and what to do about it, for the detail of the "Error while connecting"
// box. `devicePath` may be empty; `baudRate` is the speed asked for (0 when not known).
std::string portErrorDetail(PortError cause, int systemError, const std::string& devicePath,
                            std::int32_t baudRate = 0);

// The same cause in a few words, for a one-line result after "cannot open the port: ".
std::string portErrorBrief(PortError cause, int systemError, std::int32_t baudRate = 0);

// A port that went away during a run (RS232::lost()), in a few words.
std::string portLostBrief();

} // namespace vtc880

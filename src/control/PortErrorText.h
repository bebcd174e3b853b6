#pragma once

#include "link/RS232.h"

#include <string>

// Why a port did not open and what to do about it, for the detail of the "Error while connecting"
// box. `devicePath` may be empty.
std::string portErrorDetail(PortError cause, int systemError, const std::string& devicePath);

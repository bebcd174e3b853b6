#pragma once

#include <string>

// The parts of a port error's explanation that differ between systems; each starts with ": ".
std::string busyAdvice(const std::string& devicePath); // another program holds the port
std::string permissionAdvice();                        // this user may not open it

#pragma once

#include <string>

namespace vtc880 {

// The parts of a port error's explanation that differ between systems; each starts with ": ".
std::string busyAdvice(const std::string& devicePath); // another program holds the port
// This user may not open `devicePath`: who may, by its owner, group and mode, and how to get access.
std::string permissionAdvice(const std::string& devicePath);

} // namespace vtc880

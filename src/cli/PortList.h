#pragma once

#include <string>
#include <vector>

// Two names of one port: the same device path (COM1 and /dev/ttyS0), or links to the same device.
bool samePort(const std::string& a, const std::string& b);

// When `ports` names one port twice, what to say ("'/dev/ttyS0' and 'COM1' name the same port: give
// each port once"); empty when every port is named once. Two jobs on one port would fight over it:
// the second would find it busy, held by the tool itself.
std::string portNamedTwice(const std::vector<std::string>& ports);

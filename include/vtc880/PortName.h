#pragma once

#include <string>

namespace vtc880 {

// The device path a port name stands for. On Linux: a name containing '/' as it is, COMn as the n-th
// serial port, anything else under /dev/. On Windows: the name under \\.\ (COM10 and above need it).
// Empty when the name cannot form a valid path.
std::string devicePathFor(const std::string& portName);

} // namespace vtc880

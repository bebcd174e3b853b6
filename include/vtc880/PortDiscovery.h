#pragma once

#include <string>
#include <vector>

namespace vtc880 {

// Serial ports present on this machine, as port names. On Linux, device paths: first the stable
// names under serial/by-id (they survive re-plugging and name the adapter), then the ttyACM* and
// ttyUSB* devices that no such name points to. Each group is sorted with numbers in natural order
// (ttyUSB2 before ttyUSB10); each device appears once; links that lead nowhere are left out. On
// Windows, the COM ports the system lists, in natural order. Never throws: what cannot be read is
// left out.
std::vector<std::string> discoverSerialPorts();

// The Linux search under another device directory than /dev (for tests).
std::vector<std::string> discoverSerialPorts(const std::string& deviceDirectory);

// `name` (as a port name: COM3, ttyUSB0, a path, a link) names a serial port that exists here: a
// terminal device the system lists as one (in sysfs), or a pseudo-terminal such as the
// simulated device's. /dev/null and other character devices are none.
bool namesSerialPort(const std::string& name);

// Orders names with their runs of digits compared as numbers.
bool naturalLess(const std::string& a, const std::string& b);

} // namespace vtc880

#pragma once

#include "vtc880/PortInventory.h"

#include <string>
#include <vector>

namespace vtc880 {

// What each system adds to the port listings of PortInventory.cpp; PortSystemLinux.cpp and
// PortSystemWindows.cpp hold one each.

// Fills in what the system says of `port` from its device: the USB identity, the driver, whether this
// user may open it, the latency timer.
void describeDevice(Port& port, const DeviceRoots& roots);

// A port the system numbers itself: its name (COM1), and the device that name opens.
struct NumberedPort {
    std::string name;
    std::string device;
};

// The ports `vtc880 ports` lists after those found under /dev: on Linux COM1 .. COM10 whose UART the
// kernel reports (COMn is ttyS(n-1)), on Windows the COM ports the system lists.
std::vector<NumberedPort> numberedPorts(const DeviceRoots& roots);

} // namespace vtc880

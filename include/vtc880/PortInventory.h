#pragma once

#include "vtc880/Port.h"
#include "vtc880/SystemRoots.h"

#include <string>
#include <vector>

namespace vtc880 {

// Where the system shows its serial ports: /dev (with serial/by-id and serial/by-path) and sysfs on
// Linux; tests and the simulated production line give other folders.
struct DeviceRoots {
    std::string dev = devRoot;
    std::string sys = sysfsRoot;
};

// The ports `vtc880 ports` lists: on Linux those discoverSerialPorts() finds under `roots` (by-id
// names, ttyACM*, ttyUSB*), then COM1 .. COM10 whose UART the kernel reports; on Windows the COM
// ports the system lists. Each with every field filled. Never throws.
std::vector<Port> listPorts(const DeviceRoots& roots = {});

// The ports a selector chooses among: those discoverSerialPorts() lists, any other device a
// serial/by-path link leads to, named by its device, and the devices the paths in `named` lead to
// (ports named by selectors, such as ttyS0, that no listing finds). Links and paths that lead nowhere
// are left out. Each with every field filled. Never throws.
std::vector<Port> inventoryPorts(const DeviceRoots& roots = {}, const std::vector<std::string>& named = {});

// The device a port name leads to (its device path, links resolved where the system has them), to
// tell whether two names are one port. Never opens the port.
std::string deviceOf(const std::string& portName);

// One line for a person: the device, its USB identity and its names.
std::string describePort(const Port& port);

// What to say when no port was found: where ports show up on this system.
const char* noPortsFoundText();

} // namespace vtc880

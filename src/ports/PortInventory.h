#pragma once

#include "ports/PortInfo.h"

#include <string>
#include <vector>

namespace vtc880 {

// Where the system shows its serial ports: /dev (with serial/by-id and serial/by-path) and /sys on
// Linux; tests and the simulated production line give other folders.
struct DeviceRoots {
    std::string dev = "/dev";
    std::string sys = "/sys";
};

// One serial port present now, with every name that leads to it.
struct PortIdentity {
    std::string device;              // the device itself, links resolved (/dev/ttyUSB0, /dev/pts/3)
    std::vector<std::string> byId;   // serial/by-id links to it, full paths, sorted
    std::vector<std::string> byPath; // serial/by-path links to it (the USB socket), full paths, sorted
    UsbIdentity usb;
};

// The ports found under `roots`: those discoverSerialPorts() lists, and any other device a
// serial/by-path link leads to. Links that lead nowhere are left out. Never throws.
std::vector<PortIdentity> inventoryPorts(const DeviceRoots& roots = {});

// The device a port name leads to (its device path, links resolved where the system has them), to
// tell whether two names are one port. Never opens the port.
std::string deviceOf(const std::string& portName);

// One line for a person: the device, its USB identity and its names.
std::string describePort(const PortIdentity& port);

} // namespace vtc880

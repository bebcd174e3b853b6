#pragma once

#include "vtc880/UsbIdentity.h"

#include <string>
#include <vector>

namespace vtc880 {

// One serial port present now: every name that leads to it, and what the system says of it.
struct Port {
    std::string name;                // the name to give as --port: a by-id link, /dev/ttyUSB0, COM1
    std::string device;              // the device itself, links resolved (/dev/ttyUSB0, /dev/pts/3)
    std::vector<std::string> byId;   // serial/by-id links to it, full paths, sorted
    std::vector<std::string> byPath; // serial/by-path links to it (the USB socket), full paths, sorted
    UsbIdentity usb;
    std::string driver;           // the kernel driver, "" when unknown
    bool mayOpen = false;         // this user may read and write it
    std::string accessNote;       // why not, and what to do
    int latencyTimerMs = -1;      // a USB adapter's latency timer, -1 when it has none
    std::string latencyTimerPath; // where the system keeps it
};

// "0403:6001 FTDI FT232R USB UART" for a USB adapter: its ids, maker and product; "" for another port.
std::string usbText(const Port& port);

} // namespace vtc880

#pragma once

#include <string>
#include <vector>

namespace vtc880 {

// What the system says of one serial port, for `vtc880 ports`.
struct PortInfo {
    std::string name;             // as a port name may give it (a by-id link, /dev/ttyUSB0, COM1)
    std::string device;           // the device it leads to
    std::string driver;           // the kernel driver, when known
    std::string usb;              // "0403:6001 FTDI FT232R USB UART" for a USB adapter
    std::string serial;           // the adapter's serial number, when it has one
    std::string byId;             // its /dev/serial/by-id name, when it has one
    bool mayOpen = false;         // this user may read and write it
    std::string accessNote;       // why not, and what to do
    int latencyTimerMs = -1;      // a USB adapter's latency timer (FTDI on Linux), -1 when it has none
    std::string latencyTimerPath; // where the system keeps it
};

// The USB adapter a serial device belongs to, as the system describes it.
struct UsbIdentity {
    std::string vendorId;  // hexadecimal as the system writes it ("0403"); empty when not a USB port
    std::string productId; // "6001"
    std::string manufacturer;
    std::string product;
    std::string serial; // the adapter's serial number, when it has one
};

// On Linux read from the tty class in sysfs (`ttyClass`: /sys/class/tty; another folder for tests) for
// the tty `device` leads to; on Windows nothing is known.
UsbIdentity usbIdentityOf(const std::string& device, const std::string& ttyClass = "/sys/class/tty");

// On Linux the ports found (by-id, ttyACM*, ttyUSB*), then the COMn ports whose UART the kernel
// reports; on Windows the COM ports the system lists.
std::vector<PortInfo> describeSerialPorts();

// The Linux listing with other folders in place of /dev and /sys/class/tty (for tests).
std::vector<PortInfo> describeSerialPorts(const std::string& deviceDirectory, const std::string& ttyClass);

// What to say when no port was found: where ports show up on this system.
const char* noPortsFoundText();

} // namespace vtc880

#pragma once

#include "vtc880/SystemRoots.h"
#include "vtc880/UsbIdentity.h"

#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

namespace vtc880 {

// What Linux shows of its ttys in sysfs, and the small readers of it: the one place that knows this
// layout. Each tty the kernel knows has a folder <sys>/class/tty/<tty> (ttyUSB0), and in it:
//   device                 a link to the tty's device; device/driver, a link to its driver
//   device/latency_timer   a USB serial adapter's latency timer in milliseconds (FTDI)
//   type                   for a serial port ttyS*: its kind of UART, 0 when none is behind it
// The USB device an adapter's tty belongs to is the first folder above the tty's device that holds
// idVendor, with idProduct, manufacturer, product and serial beside it.
//
// `sys` is where sysfs is: sysfsRoot, or in tests a folder laid out the same way. A device path
// names the tty of the device it leads to (links resolved: a serial/by-id link finds its ttyUSB).
// What sysfs holds is read as untrusted text, in bounded amounts, and never waited for. Linux only:
// other systems build none of this but the two inline functions below, which find nothing there.

// The folder of the tty named `tty` (ttyUSB0).
inline std::filesystem::path sysfsTtyFolder(const std::string& tty, const std::string& sys = sysfsRoot) {
    return std::filesystem::path(sys) / "class" / "tty" / tty;
}

// Whether the kernel lists a tty named `tty`.
inline bool isKernelTty(const std::string& tty, const std::string& sys = sysfsRoot) {
    std::error_code error;
    return !tty.empty() && tty != "." && tty != ".." && tty.find('/') == std::string::npos &&
           std::filesystem::exists(sysfsTtyFolder(tty, sys), error);
}

// The kernel driver of the tty `device` leads to ("ftdi_sio"); empty when unknown.
std::string ttyDriver(const std::string& device, const std::string& sys = sysfsRoot);

// Whether the serial port `tty` (ttyS0) has a UART behind it.
bool hasUart(const std::string& tty, const std::string& sys = sysfsRoot);

// The USB adapter the tty `device` leads to belongs to; every field empty when it is no USB device.
UsbIdentity usbIdentityOf(const std::string& device, const std::string& sys = sysfsRoot);

// The latency timer file of the tty `device` leads to; empty when that tty has none (a UART, a
// CDC-ACM port, a pseudo-terminal).
std::string latencyTimerPath(const std::string& device, const std::string& sys = sysfsRoot);

// The timer in milliseconds, when the file holds a number from 0 to 255.
std::optional<int> readLatencyTimer(const std::string& timerPath);

// Sets the timer; false when the file cannot be written (no permission, the adapter is gone).
bool writeLatencyTimer(const std::string& timerPath, int milliseconds);

} // namespace vtc880

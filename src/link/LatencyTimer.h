#pragma once

#include <optional>
#include <string>

namespace vtc880 {

// The latency timer of a USB serial adapter, as Linux shows it in sysfs: how many milliseconds an
// FTDI adapter holds a short reply before it sends it to the host (16 unless set otherwise).

// Where Linux shows each tty: <ttyClass>/<tty>/device/latency_timer.
constexpr const char* sysfsTtyClass = "/sys/class/tty";

// The latency timer file of the port at `devicePath` (links resolved, so a serial/by-id name finds
// its ttyUSB), under `ttyClass`; empty when that tty has none (a UART, a CDC-ACM port, a
// pseudo-terminal).
std::string latencyTimerPath(const std::string& ttyClass, const std::string& devicePath);

// The timer in milliseconds, when the file holds a number from 0 to 255.
std::optional<int> readLatencyTimer(const std::string& timerPath);

// Sets the timer; false when the file cannot be written (no permission, the adapter is gone).
bool writeLatencyTimer(const std::string& timerPath, int milliseconds);

} // namespace vtc880

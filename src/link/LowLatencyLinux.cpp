#include "link/LowLatency.h"
#include "link/SysfsTty.h"

#include <linux/serial.h>
#include <sys/ioctl.h>

namespace vtc880 {

namespace {

// The driver's serial flags, when it has any (a pseudo-terminal has none).
bool serialFlags(int fd, serial_struct& info) {
    info = serial_struct{};
    return ::ioctl(fd, TIOCGSERIAL, &info) == 0;
}

// Sets or clears the low-latency flag alone, leaving the driver's other settings as they are.
bool setLowLatencyFlag(int fd, bool on) {
    serial_struct info;
    if (!serialFlags(fd, info))
        return false;
    if (on)
        info.flags |= ASYNC_LOW_LATENCY;
    else
        info.flags &= ~ASYNC_LOW_LATENCY;
    return ::ioctl(fd, TIOCSSERIAL, &info) == 0;
}

} // namespace

void LowLatency::request(int fd, const std::string& timer) {
    serial_struct info;
    if (serialFlags(fd, info) && (info.flags & ASYNC_LOW_LATENCY) == 0 && setLowLatencyFlag(fd, true)) {
        // A driver may accept the call and keep nothing of it.
        flagSet = serialFlags(fd, info) && (info.flags & ASYNC_LOW_LATENCY) != 0;
    }
    if (timer.empty())
        return;
    const std::optional<int> before = readLatencyTimer(timer);
    if (!before || *before <= 1)
        return; // already low (ftdi_sio shows 1 once the flag took), or not a timer we can read
    if (writeLatencyTimer(timer, 1)) {
        timerPath = timer;
        timerWas = *before;
    }
}

void LowLatency::restore(int fd) {
    if (!timerPath.empty())
        writeLatencyTimer(timerPath, timerWas);
    timerPath.clear();
    timerWas = -1;
    if (flagSet)
        setLowLatencyFlag(fd, false);
    flagSet = false;
}

} // namespace vtc880

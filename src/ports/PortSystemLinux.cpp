#include "link/SysfsTty.h"
#include "ports/PortAdvice.h"
#include "ports/PortSystem.h"

#include <cerrno>
#include <filesystem>
#include <system_error>
#include <unistd.h>

namespace vtc880 {

namespace fs = std::filesystem;

void describeDevice(Port& port, const DeviceRoots& roots) {
    port.usb = usbIdentityOf(port.device, roots.sys);
    port.driver = ttyDriver(port.device, roots.sys);
    port.latencyTimerPath = latencyTimerPath(port.device, roots.sys);
    if (const std::optional<int> timer = readLatencyTimer(port.latencyTimerPath)) {
        port.latencyTimerMs = *timer;
    }
    port.mayOpen = access(port.device.c_str(), R_OK | W_OK) == 0;
    if (!port.mayOpen) {
        // The advice starts with ": " where a result line follows on from "cannot open the port".
        port.accessNote = errno == EACCES ? permissionAdvice(port.device).substr(2) : "cannot be opened";
    }
}

std::vector<NumberedPort> numberedPorts(const DeviceRoots& roots) {
    std::vector<NumberedPort> ports;
    // COM1 .. COM10 stand for ttyS0 .. ttyS9; those with a UART behind them are listed.
    for (int n = 1; n <= 10; ++n) {
        const std::string tty = "ttyS" + std::to_string(n - 1);
        if (!hasUart(tty, roots.sys)) {
            continue;
        }
        const std::string path = (fs::path(roots.dev) / tty).string();
        std::error_code error;
        const fs::path device = fs::canonical(path, error);
        ports.push_back({"COM" + std::to_string(n), error ? path : device.string()});
    }
    return ports;
}

const char* noPortsFoundText() {
    return "no serial ports found (USB adapters show up as ttyUSB* or ttyACM*; COM1 .. COM10 stand for "
           "/dev/ttyS0 .. /dev/ttyS9)";
}

} // namespace vtc880

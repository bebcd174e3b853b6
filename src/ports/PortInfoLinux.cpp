#include "link/LatencyTimer.h"
#include "ports/PortAdvice.h"
#include "ports/PortDiscovery.h"
#include "ports/PortInfo.h"

#include <filesystem>
#include <fstream>
#include <system_error>
#include <unistd.h>

namespace vtc880 {

namespace fs = std::filesystem;

namespace {

std::string firstLine(const fs::path& path) {
    std::string line;
    std::ifstream in(path);
    std::getline(in, line);
    return line;
}

// The USB device a tty hangs from: the first folder above its sysfs device that has idVendor.
fs::path usbDeviceOf(const fs::path& ttyDevice) {
    std::error_code ec;
    for (fs::path at = fs::canonical(ttyDevice, ec); !ec && at.has_relative_path(); at = at.parent_path()) {
        if (fs::exists(at / "idVendor", ec)) {
            return at;
        }
    }
    return {};
}

PortInfo describe(const std::string& name, const std::string& deviceDirectory, const std::string& ttyClass) {
    PortInfo info;
    info.name = name;
    std::error_code ec;
    info.device = fs::canonical(name, ec).string();
    if (ec) {
        info.device = name;
    }
    const fs::path sys = fs::path(ttyClass) / fs::path(info.device).filename() / "device";
    info.driver = fs::read_symlink(sys / "driver", ec).filename().string();
    if (const UsbIdentity usb = usbIdentityOf(info.device, ttyClass); !usb.vendorId.empty()) {
        info.usb = usb.vendorId + ":" + usb.productId;
        info.usb += (usb.manufacturer.empty() ? "" : " " + usb.manufacturer) +
                    (usb.product.empty() ? "" : " " + usb.product);
        info.serial = usb.serial;
    }
    for (const auto& link : fs::directory_iterator(fs::path(deviceDirectory) / "serial" / "by-id", ec)) {
        std::error_code bad;
        if (fs::canonical(link.path(), bad) == info.device) {
            info.byId = link.path().string();
        }
    }
    info.latencyTimerPath = latencyTimerPath(ttyClass, info.device);
    if (const std::optional<int> timer = readLatencyTimer(info.latencyTimerPath)) {
        info.latencyTimerMs = *timer;
    }
    info.mayOpen = access(info.device.c_str(), R_OK | W_OK) == 0;
    if (!info.mayOpen) {
        // The advice starts with ": " where a result line follows on from "cannot open the port".
        info.accessNote = errno == EACCES ? permissionAdvice(info.device).substr(2) : "cannot be opened";
    }
    return info;
}

} // namespace

UsbIdentity usbIdentityOf(const std::string& device, const std::string& ttyClass) {
    UsbIdentity identity;
    const fs::path sys = fs::path(ttyClass) / fs::path(device).filename() / "device";
    if (const fs::path usb = usbDeviceOf(sys); !usb.empty()) {
        identity.vendorId = firstLine(usb / "idVendor");
        identity.productId = firstLine(usb / "idProduct");
        identity.manufacturer = firstLine(usb / "manufacturer");
        identity.product = firstLine(usb / "product");
        identity.serial = firstLine(usb / "serial");
    }
    return identity;
}

std::vector<PortInfo> describeSerialPorts() {
    return describeSerialPorts("/dev", sysfsTtyClass);
}

std::vector<PortInfo> describeSerialPorts(const std::string& deviceDirectory, const std::string& ttyClass) {
    std::vector<PortInfo> ports;
    for (const std::string& path : discoverSerialPorts(deviceDirectory)) {
        ports.push_back(describe(path, deviceDirectory, ttyClass));
    }
    // COM1 .. COM10 stand for ttyS0 .. ttyS9; list those with a UART behind them (type 0: none).
    for (int n = 1; n <= 10; ++n) {
        const std::string tty = "ttyS" + std::to_string(n - 1);
        const std::string type = firstLine(fs::path(ttyClass) / tty / "type");
        if (!type.empty() && type != "0") {
            PortInfo info = describe((fs::path(deviceDirectory) / tty).string(), deviceDirectory, ttyClass);
            info.name = "COM" + std::to_string(n);
            ports.push_back(info);
        }
    }
    return ports;
}

const char* noPortsFoundText() {
    return "no serial ports found (USB adapters show up as ttyUSB* or ttyACM*; COM1 .. COM10 stand for "
           "/dev/ttyS0 .. /dev/ttyS9)";
}

} // namespace vtc880

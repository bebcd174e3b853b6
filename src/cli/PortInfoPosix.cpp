#include "cli/PortInfo.h"
#include "link/PortDiscovery.h"

#include <filesystem>
#include <fstream>
#include <system_error>
#include <unistd.h>

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

PortInfo describe(const std::string& name) {
    PortInfo info;
    info.name = name;
    std::error_code ec;
    info.device = fs::canonical(name, ec).string();
    if (ec) {
        info.device = name;
    }
    const fs::path sys = fs::path("/sys/class/tty") / fs::path(info.device).filename() / "device";
    info.driver = fs::read_symlink(sys / "driver", ec).filename().string();
    if (const UsbIdentity usb = usbIdentityOf(info.device); !usb.vendorId.empty()) {
        info.usb = usb.vendorId + ":" + usb.productId;
        info.usb += (usb.manufacturer.empty() ? "" : " " + usb.manufacturer) +
                    (usb.product.empty() ? "" : " " + usb.product);
        info.serial = usb.serial;
    }
    for (const auto& link : fs::directory_iterator("/dev/serial/by-id", ec)) {
        std::error_code bad;
        if (fs::canonical(link.path(), bad) == info.device) {
            info.byId = link.path().string();
        }
    }
    info.mayOpen = access(info.device.c_str(), R_OK | W_OK) == 0;
    if (!info.mayOpen) {
        info.accessNote = errno == EACCES
                              ? "permission denied: join the dialout group (sudo usermod -aG dialout "
                                "$USER) and log in again"
                              : "cannot be opened";
    }
    return info;
}

} // namespace

UsbIdentity usbIdentityOf(const std::string& device, const std::string& sysRoot) {
    UsbIdentity identity;
    const fs::path sys = fs::path(sysRoot) / "class" / "tty" / fs::path(device).filename() / "device";
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
    std::vector<PortInfo> ports;
    for (const std::string& path : discoverSerialPorts()) {
        ports.push_back(describe(path));
    }
    // COM1 .. COM10 stand for ttyS0 .. ttyS9; list those with a UART behind them (type 0: none).
    for (int n = 1; n <= 10; ++n) {
        const std::string tty = "ttyS" + std::to_string(n - 1);
        const std::string type = firstLine("/sys/class/tty/" + tty + "/type");
        if (!type.empty() && type != "0") {
            PortInfo info = describe("/dev/" + tty);
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

#include "vtc880/PortInventory.h"

#include "ports/PortSystem.h"
#include "vtc880/PortDiscovery.h"
#include "vtc880/PortName.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

namespace vtc880 {

namespace fs = std::filesystem;

namespace {

// The device `path` leads to, or empty when it leads nowhere or to a folder.
std::string deviceBehind(const fs::path& path) {
    std::error_code ec;
    const fs::file_status status = fs::status(path, ec);
    if (ec || !fs::exists(status) || fs::is_directory(status)) {
        return {};
    }
    const fs::path target = fs::canonical(path, ec);
    return ec ? std::string() : target.string();
}

// The device `path` leads to, or the path itself when it cannot be resolved.
std::string resolved(const std::string& path) {
    std::error_code ec;
    const fs::path target = fs::canonical(path, ec);
    return ec ? path : target.string();
}

// Every entry of `folder` (a by-id or by-path folder) with the device it leads to.
std::vector<std::pair<std::string, std::string>> linksIn(const fs::path& folder) {
    std::vector<std::pair<std::string, std::string>> links;
    std::error_code ec;
    fs::directory_iterator it(folder, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.empty() || name.front() == '.') {
            continue;
        }
        if (std::string device = deviceBehind(it->path()); !device.empty()) {
            links.emplace_back(it->path().string(), std::move(device));
        }
    }
    std::sort(links.begin(), links.end(),
              [](const auto& a, const auto& b) { return naturalLess(a.first, b.first); });
    return links;
}

// The serial/by-id and serial/by-path links under a device folder, each with the device it leads to.
struct Links {
    explicit Links(const DeviceRoots& roots)
        : byId(linksIn(fs::path(roots.dev) / "serial" / "by-id")),
          byPath(linksIn(fs::path(roots.dev) / "serial" / "by-path")) {}

    // The port `name` names, which is `device`, with its links and what the system says of it.
    Port port(std::string name, std::string device, const DeviceRoots& roots) const {
        Port port;
        port.name = std::move(name);
        port.device = std::move(device);
        for (const auto& [link, target] : byId) {
            if (target == port.device) {
                port.byId.push_back(link);
            }
        }
        for (const auto& [link, target] : byPath) {
            if (target == port.device) {
                port.byPath.push_back(link);
            }
        }
        describeDevice(port, roots);
        return port;
    }

    std::vector<std::pair<std::string, std::string>> byId, byPath;
};

} // namespace

std::vector<Port> listPorts(const DeviceRoots& roots) {
    try {
        const Links links(roots);
        std::vector<Port> ports;
        for (const std::string& name : discoverSerialPorts(roots.dev)) {
            ports.push_back(links.port(name, resolved(name), roots));
        }
        for (const NumberedPort& numbered : numberedPorts(roots)) {
            ports.push_back(links.port(numbered.name, numbered.device, roots));
        }
        return ports;
    } catch (...) {
        return {}; // out of memory while listing: a list is a convenience
    }
}

std::vector<Port> inventoryPorts(const DeviceRoots& roots, const std::vector<std::string>& named) {
    try {
        const Links links(roots);
        std::vector<std::pair<std::string, std::string>> found; // name, device
        const auto add = [&](const std::string& name, const std::string& device) {
            const bool known = std::any_of(found.begin(), found.end(),
                                           [&](const auto& port) { return port.second == device; });
            if (!device.empty() && !known) {
                found.emplace_back(name, device);
            }
        };
        for (const std::string& name : discoverSerialPorts(roots.dev)) {
            add(name, deviceBehind(name));
        }
        for (const auto& [link, device] : links.byPath) {
            add(device, device);
        }
        for (const std::string& path : named) {
            add(path, deviceBehind(path));
        }
        std::vector<Port> ports;
        for (const auto& [name, device] : found) {
            ports.push_back(links.port(name, device, roots));
        }
        return ports;
    } catch (...) {
        // Out of memory while listing: no port is offered rather than a wrong one.
        return {};
    }
}

std::string deviceOf(const std::string& portName) {
    const std::string path = devicePathFor(portName);
    if (path.empty() || path.front() != '/') {
        return path; // a Windows device name: nothing to resolve
    }
    return resolved(path);
}

std::string describePort(const Port& port) {
    std::string line = port.device;
    if (!port.usb.vendorId.empty()) {
        line += "  usb:" + port.usb.vendorId + ":" + port.usb.productId;
        if (!port.usb.serial.empty()) {
            line += ":" + port.usb.serial;
        }
    }
    for (const std::string& name : port.byPath) {
        line += "  path:" + fs::path(name).filename().string();
    }
    for (const std::string& name : port.byId) {
        line += "  by-id " + fs::path(name).filename().string();
    }
    return line;
}

std::string usbText(const Port& port) {
    const UsbIdentity& usb = port.usb;
    if (usb.vendorId.empty()) {
        return {};
    }
    return usb.vendorId + ":" + usb.productId + (usb.manufacturer.empty() ? "" : " " + usb.manufacturer) +
           (usb.product.empty() ? "" : " " + usb.product);
}

} // namespace vtc880

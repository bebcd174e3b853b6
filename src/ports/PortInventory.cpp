#include "ports/PortInventory.h"

#include "link/PortName.h"
#include "ports/PortDiscovery.h"

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

} // namespace

std::vector<PortIdentity> inventoryPorts(const DeviceRoots& roots) {
    try {
        std::vector<PortIdentity> ports;
        std::map<std::string, std::size_t> index; // device -> its place in `ports`
        const auto portFor = [&](const std::string& device) -> PortIdentity& {
            const auto [at, added] = index.emplace(device, ports.size());
            if (added) {
                PortIdentity port;
                port.device = device;
                ports.push_back(std::move(port));
            }
            return ports[at->second];
        };
        for (const std::string& name : discoverSerialPorts(roots.dev)) {
            if (const std::string device = deviceBehind(name); !device.empty()) {
                portFor(device);
            }
        }
        const fs::path serial = fs::path(roots.dev) / "serial";
        for (const auto& [link, device] : linksIn(serial / "by-path")) {
            portFor(device).byPath.push_back(link);
        }
        for (const auto& [link, device] : linksIn(serial / "by-id")) {
            if (const auto at = index.find(device); at != index.end()) {
                ports[at->second].byId.push_back(link);
            }
        }
        for (PortIdentity& port : ports) {
            port.usb =
                usbIdentityOf(port.device, (std::filesystem::path(roots.sys) / "class" / "tty").string());
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
    std::error_code ec;
    const fs::path device = fs::canonical(path, ec);
    return ec ? path : device.string();
}

std::string describePort(const PortIdentity& port) {
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

} // namespace vtc880

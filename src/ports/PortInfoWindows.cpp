#include "link/RS232.h"
#include "link/UniqueHandle.h"
#include "ports/PortDiscovery.h"
#include "ports/PortInfo.h"

#include <windows.h>

namespace vtc880 {

namespace {

PortInfo describe(const std::string& name) {
    PortInfo info;
    info.name = name;
    info.device = devicePathFor(name);
    // Windows tells whether a port is free only by opening it; the open changes no line setting.
    const UniqueHandle handle(info.device.empty()
                                  ? INVALID_HANDLE_VALUE
                                  : ::CreateFileA(info.device.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                                  nullptr, OPEN_EXISTING, 0, nullptr));
    if (handle.valid()) {
        info.mayOpen = true;
    } else {
        const DWORD err = ::GetLastError();
        info.accessNote = err == ERROR_ACCESS_DENIED || err == ERROR_SHARING_VIOLATION
                              ? "access denied: another program holds it"
                              : "cannot be opened (error " + std::to_string(err) + ")";
    }
    return info;
}

} // namespace

UsbIdentity usbIdentityOf(const std::string&, const std::string&) {
    return {};
}

std::vector<PortInfo> describeSerialPorts() {
    std::vector<PortInfo> ports;
    for (const std::string& name : discoverSerialPorts()) {
        ports.push_back(describe(name));
    }
    return ports;
}

const char* noPortsFoundText() {
    return "no serial ports found (a USB adapter shows up as a COM port once its driver is installed; "
           "Device Manager lists them under Ports)";
}

} // namespace vtc880

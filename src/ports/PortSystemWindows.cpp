#include "link/RS232.h"
#include "link/UniqueHandle.h"
#include "ports/PortSystem.h"
#include "vtc880/PortDiscovery.h"

#include <windows.h>

namespace vtc880 {

void describeDevice(Port& port, const DeviceRoots&) {
    // Windows tells whether a port is free only by opening it; the open changes no line setting.
    const UniqueHandle handle(port.device.empty()
                                  ? INVALID_HANDLE_VALUE
                                  : ::CreateFileA(port.device.c_str(), GENERIC_READ | GENERIC_WRITE, 0,
                                                  nullptr, OPEN_EXISTING, 0, nullptr));
    if (handle.valid()) {
        port.mayOpen = true;
        return;
    }
    const DWORD err = ::GetLastError();
    port.accessNote = err == ERROR_ACCESS_DENIED || err == ERROR_SHARING_VIOLATION
                          ? "access denied: another program holds it"
                          : "cannot be opened (error " + std::to_string(err) + ")";
}

std::vector<NumberedPort> numberedPorts(const DeviceRoots&) {
    std::vector<NumberedPort> ports;
    for (const std::string& name : discoverSerialPorts()) {
        ports.push_back({name, devicePathFor(name)});
    }
    return ports;
}

const char* noPortsFoundText() {
    return "no serial ports found (a USB adapter shows up as a COM port once its driver is installed; "
           "Device Manager lists them under Ports)";
}

} // namespace vtc880

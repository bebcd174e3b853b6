#include "vtc880/PortDiscovery.h"

#include <algorithm>
#include <windows.h>

namespace vtc880 {

// The system keeps one value per serial port under this key; its data is the port's name (COM3).
std::vector<std::string> discoverSerialPorts() {
    std::vector<std::string> ports;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key) !=
        ERROR_SUCCESS) {
        return ports;
    }
    try {
        for (DWORD index = 0;; ++index) {
            char valueName[256];
            DWORD nameLength = sizeof valueName;
            BYTE data[256];
            DWORD dataLength = sizeof data - 1; // room for a terminator the system may leave out
            DWORD type = 0;
            const LONG status =
                ::RegEnumValueA(key, index, valueName, &nameLength, nullptr, &type, data, &dataLength);
            if (status == ERROR_NO_MORE_ITEMS) {
                break;
            }
            if (status != ERROR_SUCCESS || type != REG_SZ) {
                continue; // too long for a port name, or not a name at all
            }
            data[dataLength] = 0;
            std::string name(reinterpret_cast<const char*>(data));
            if (!name.empty()) {
                ports.push_back(std::move(name));
            }
        }
        std::sort(ports.begin(), ports.end(), naturalLess);
        ports.erase(std::unique(ports.begin(), ports.end()), ports.end());
    } catch (...) {
        ports.clear(); // out of memory: the list is a convenience, and COM1..COM10 remain
    }
    ::RegCloseKey(key);
    return ports;
}

} // namespace vtc880

#include "ports/PortDiscovery.h"

std::vector<std::string> discoverSerialPorts() {
    return discoverSerialPorts("/dev");
}

#include "ports/PortDiscovery.h"

namespace vtc880 {

std::vector<std::string> discoverSerialPorts() {
    return discoverSerialPorts("/dev");
}

} // namespace vtc880

#include "vtc880/PortDiscovery.h"
#include "vtc880/SystemRoots.h"

namespace vtc880 {

std::vector<std::string> discoverSerialPorts() {
    return discoverSerialPorts(devRoot);
}

} // namespace vtc880

#include "ports/PortAdvice.h"

namespace vtc880 {

// Windows answers "access denied" to the second program that opens a port, and does not tell which
// program holds it.
std::string busyAdvice(const std::string&) {
    return ": access denied, another program holds it (a terminal, another updater): close it and try "
           "again";
}

std::string permissionAdvice(const std::string&) {
    return ": permission denied";
}

} // namespace vtc880

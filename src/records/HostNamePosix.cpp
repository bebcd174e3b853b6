#include "records/HostName.h"

#include <unistd.h>
#include <vector>

namespace vtc880 {

std::string hostName() {
    std::vector<char> name(256, '\0');
    if (gethostname(name.data(), name.size() - 1) != 0) {
        return {};
    }
    return std::string(name.data()); // the last byte stays 0 even when the name was cut
}

} // namespace vtc880

#include "app/PortChoices.h"

#include "vtc880/PortDiscovery.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace vtc880 {

namespace {

void addOnce(std::vector<std::string>& names, std::string name) {
    if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end()) {
        names.push_back(std::move(name));
    }
}

} // namespace

std::vector<std::string> portChoices(const std::vector<std::string>& discovered, const char* extra) {
    std::vector<std::string> names;
    for (int n = 1; n <= 10; ++n) {
        names.push_back("COM" + std::to_string(n));
    }
    for (const std::string& port : discovered) {
        addOnce(names, port);
    }
    if (extra != nullptr) {
        const std::string list(extra);
        std::size_t from = 0;
        while (from <= list.size()) {
            const std::size_t to = std::min(list.find(':', from), list.size());
            addOnce(names, list.substr(from, to - from));
            from = to + 1;
        }
    }
    return names;
}

std::vector<std::string> portChoices() {
    return portChoices(discoverSerialPorts(), std::getenv("VTC880_PORTS"));
}

} // namespace vtc880

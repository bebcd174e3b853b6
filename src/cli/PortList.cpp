#include "cli/PortList.h"

#include "link/RS232.h"

#include <filesystem>
#include <system_error>

bool samePort(const std::string& a, const std::string& b) {
    const std::string first = devicePathFor(a);
    const std::string second = devicePathFor(b);
    if (first == second) {
        return true;
    }
    std::error_code error;
    return std::filesystem::equivalent(first, second, error) && !error;
}

std::string portNamedTwice(const std::vector<std::string>& ports) {
    for (std::size_t i = 0; i < ports.size(); ++i) {
        for (std::size_t j = 0; j < i; ++j) {
            if (samePort(ports[i], ports[j])) {
                return "'" + ports[i] + "' and '" + ports[j] + "' name the same port: give each port once";
            }
        }
    }
    return {};
}

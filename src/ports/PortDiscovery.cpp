#include "vtc880/PortDiscovery.h"

#include "link/SysfsTty.h"
#include "vtc880/PortName.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>
#include <system_error>

namespace vtc880 {

namespace fs = std::filesystem;

namespace {

bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Kernel names such as ttyUSB0: the prefix followed by digits only.
bool isNumbered(const std::string& name, const std::string& prefix) {
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) {
        return false;
    }
    return std::all_of(name.begin() + std::ptrdiff_t(prefix.size()), name.end(), isDigit);
}

struct Found {
    std::string path;   // as it will be offered
    std::string target; // the device it leads to, links resolved
};

// The entries of one directory whose names `keep` accepts and that lead to something other than a
// directory, sorted naturally by path.
template <typename Keep> std::vector<Found> collect(const fs::path& directory, Keep keep) {
    std::vector<Found> found;
    std::error_code ec;
    fs::directory_iterator it(directory, ec);
    for (; !ec && it != fs::directory_iterator(); it.increment(ec)) {
        const fs::path& path = it->path();
        if (!keep(path.filename().string())) {
            continue;
        }
        std::error_code statusError;
        const fs::file_status status = fs::status(path, statusError); // follows links
        if (statusError || !fs::exists(status) || fs::is_directory(status)) {
            continue;
        }
        std::error_code canonicalError;
        fs::path target = fs::canonical(path, canonicalError);
        found.push_back({path.string(), canonicalError ? path.string() : target.string()});
    }
    std::sort(found.begin(), found.end(),
              [](const Found& a, const Found& b) { return naturalLess(a.path, b.path); });
    return found;
}

} // namespace

bool naturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            // Compare the numbers digit by digit, so that no length of digits can overflow.
            std::size_t ai = i;
            std::size_t bj = j;
            while (ai < a.size() && a[ai] == '0') {
                ++ai;
            }
            while (bj < b.size() && b[bj] == '0') {
                ++bj;
            }
            std::size_t aEnd = ai;
            std::size_t bEnd = bj;
            while (aEnd < a.size() && isDigit(a[aEnd])) {
                ++aEnd;
            }
            while (bEnd < b.size() && isDigit(b[bEnd])) {
                ++bEnd;
            }
            if (aEnd - ai != bEnd - bj) {
                return aEnd - ai < bEnd - bj;
            }
            const int order = a.compare(ai, aEnd - ai, b, bj, bEnd - bj);
            if (order != 0) {
                return order < 0;
            }
            if (aEnd - i != bEnd - j) {
                return aEnd - i < bEnd - j; // the same number: fewer leading zeros first
            }
            i = aEnd;
            j = bEnd;
            continue;
        }
        if (a[i] != b[j]) {
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        }
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

std::vector<std::string> discoverSerialPorts(const std::string& deviceDirectory) {
    try {
        const fs::path root(deviceDirectory);
        const std::vector<Found> byId =
            collect(root / "serial" / "by-id", [](const std::string& name) { return name.front() != '.'; });
        const std::vector<Found> kernel = collect(root, [](const std::string& name) {
            return isNumbered(name, "ttyACM") || isNumbered(name, "ttyUSB");
        });

        std::vector<std::string> ports;
        std::set<std::string> devices;
        for (const std::vector<Found>* group : {&byId, &kernel}) {
            for (const Found& port : *group) {
                if (devices.insert(port.target).second) {
                    ports.push_back(port.path);
                }
            }
        }
        return ports;
    } catch (...) {
        // Out of memory while listing: the list is a convenience, and COM1..COM10 remain.
        return {};
    }
}

bool namesSerialPort(const std::string& name) {
    const std::string path = devicePathFor(name);
    std::error_code error;
    const std::filesystem::path device = std::filesystem::canonical(path, error);
    if (path.empty() || error || !std::filesystem::is_character_file(device, error)) {
        return false;
    }
    const std::filesystem::path parent = device.parent_path();
    return parent == "/dev/pts" || (parent == "/dev" && isKernelTty(device.filename().string()));
}

} // namespace vtc880

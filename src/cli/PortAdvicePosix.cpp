#include "cli/PortAdvice.h"

#include <filesystem>
#include <fstream>
#include <system_error>
#include <unistd.h>

namespace {

// The processes that hold `devicePath` open, as "1234 (minicom)", where /proc tells.
std::string portHolders(const std::string& devicePath) {
    std::error_code error;
    const std::filesystem::path device = std::filesystem::canonical(devicePath, error);
    if (error) {
        return {};
    }
    std::string holders;
    for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
        const std::string pid = process.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == std::to_string(getpid())) {
            continue;
        }
        std::error_code unreadable;
        for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", unreadable)) {
            std::error_code gone;
            if (std::filesystem::read_symlink(fd.path(), gone) == device) {
                std::string name;
                std::getline(std::ifstream(process.path() / "comm"), name);
                holders += (holders.empty() ? "" : ", ") + pid + " (" + name + ")";
                break;
            }
        }
    }
    return holders;
}

} // namespace

std::string busyAdvice(const std::string& devicePath) {
    const std::string holders = portHolders(devicePath);
    return holders.empty() ? ": another program holds it" : ": held by process " + holders;
}

std::string permissionAdvice() {
    return ": permission denied; join the dialout group (sudo usermod -aG dialout $USER) and log in again";
}

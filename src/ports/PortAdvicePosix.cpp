#include "ports/PortAdvice.h"
#include "vtc880/Format.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace vtc880 {

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

namespace {

std::string groupName(gid_t gid) {
    std::vector<char> buffer(4096);
    group entry{};
    group* found = nullptr;
    while (getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < 1 << 20) {
        buffer.resize(buffer.size() * 2);
    }
    return found != nullptr ? std::string(found->gr_name) : std::to_string(gid);
}

std::string userName(uid_t uid) {
    std::vector<char> buffer(4096);
    passwd entry{};
    passwd* found = nullptr;
    while (getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == ERANGE &&
           buffer.size() < 1 << 20) {
        buffer.resize(buffer.size() * 2);
    }
    return found != nullptr ? std::string(found->pw_name) : std::to_string(uid);
}

// The user belongs to `gid` in the group database, whether or not this login has it yet.
bool listedInGroup(gid_t gid) {
    std::vector<char> buffer(4096);
    passwd entry{};
    passwd* self = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &self) != 0 || self == nullptr) {
        return false;
    }
    int count = 64;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (getgrouplist(self->pw_name, self->pw_gid, groups.data(), &count) < 0) {
        groups.resize(std::size_t(count));
        if (getgrouplist(self->pw_name, self->pw_gid, groups.data(), &count) < 0) {
            return false;
        }
    }
    groups.resize(std::size_t(count));
    return std::find(groups.begin(), groups.end(), gid) != groups.end();
}

// This login has `gid` now.
bool hasGroup(gid_t gid) {
    if (getegid() == gid) {
        return true;
    }
    const int count = getgroups(0, nullptr);
    std::vector<gid_t> groups(static_cast<std::size_t>(std::max(count, 0)));
    const int got = getgroups(int(groups.size()), groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

} // namespace

std::string permissionAdvice(const std::string& devicePath) {
    struct stat device {};
    if (stat(devicePath.c_str(), &device) != 0) {
        return ": permission denied";
    }
    const std::string group = groupName(device.st_gid);
    const std::string owner = userName(device.st_uid);
    std::string text = ": permission denied: " + devicePath + " belongs to " + owner + ":" + group +
                       formatText(" with mode %04o", unsigned(device.st_mode & 07777));
    const bool groupMayUse = (device.st_mode & 060) == 060;
    if (groupMayUse && device.st_gid != 0) {
        if (hasGroup(device.st_gid)) {
            return text; // the group is not what keeps it closed
        }
        if (listedInGroup(device.st_gid)) {
            return text + "; you are in the " + group +
                   " group, but this login is not yet: log out and in again";
        }
        return text + "; join the " + group + " group (sudo usermod -aG " + group +
               " $USER) and log in again";
    }
    // Joining a group changes nothing here: the group may not use the port.
    return text + "; only " + owner +
           " may open it: give the port to the dialout group (sudo chgrp dialout " + devicePath +
           " && sudo chmod 660 " + devicePath +
           ", until the next boot; a udev rule keeps it), or run the tool as " + owner;
}

} // namespace vtc880

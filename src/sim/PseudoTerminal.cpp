#include "sim/PseudoTerminal.h"

#include "sim/LineSpeed.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <vector>

namespace sim {

namespace {

std::string failure(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// The slave's path, however long the system makes it: ptsname_r says when the room given is short.
bool slaveName(int master, std::string& path) {
    for (std::size_t room = 64; room <= 64 * 1024; room *= 2) {
        std::vector<char> name(room);
        const int result = ::ptsname_r(master, name.data(), name.size());
        if (result == 0) {
            path.assign(name.data(), ::strnlen(name.data(), name.size()));
            return true;
        }
        if (result != ERANGE) {
            errno = result;
            return false;
        }
    }
    errno = ERANGE;
    return false;
}

} // namespace

vtc880::UniqueFd openPseudoTerminal(std::string& slavePath, std::string& error) {
    vtc880::UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master.valid()) {
        error = failure("posix_openpt");
        return {};
    }
    if (::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0) {
        error = failure("unlockpt");
        return {};
    }
    if (!slaveName(master.get(), slavePath)) {
        error = failure("ptsname_r");
        return {};
    }
    return master;
}

bool setRawLine(int fd, std::int32_t speed) {
    const std::optional<speed_t> constant = speedConstant(speed);
    if (!constant) {
        errno = EINVAL;
        return false;
    }
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0)
        return false;
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&settings, *constant);
    ::cfsetospeed(&settings, *constant);
    return ::tcsetattr(fd, TCSANOW, &settings) == 0;
}

bool PseudoTerminal::open(std::int32_t speed, std::string& error) {
    if (!speedConstant(speed)) {
        error = "not a line speed: " + std::to_string(speed);
        return false;
    }
    std::string path;
    vtc880::UniqueFd master = openPseudoTerminal(path, error);
    if (!master.valid())
        return false;
    vtc880::UniqueFd slave(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slave.valid()) {
        error = failure("open " + path);
        return false;
    }
    // Raw from the start: a cooked slave would echo the device's own replies back to it whenever
    // no updater holds the port, and an updater restores the settings it found when it closes.
    if (!setRawLine(slave.get(), speed)) {
        error = failure("the line settings of " + path);
        return false;
    }
    const int flags = ::fcntl(master.get(), F_GETFL);
    if (flags < 0 || ::fcntl(master.get(), F_SETFL, flags | O_NONBLOCK) != 0) {
        error = failure("fcntl");
        return false;
    }
    master_ = std::move(master);
    slave_ = std::move(slave);
    slavePath_ = std::move(path);
    return true;
}

void PseudoTerminal::close() {
    master_.reset();
    slave_.reset();
}

} // namespace sim

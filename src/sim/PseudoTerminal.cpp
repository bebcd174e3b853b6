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

std::string failure(const char* what) {
    return std::string(what) + ": " + std::strerror(errno);
}

} // namespace

bool PseudoTerminal::open(std::int32_t speed, std::string& error) {
    const std::optional<speed_t> constant = speedConstant(speed);
    if (!constant) {
        error = "not a line speed: " + std::to_string(speed);
        return false;
    }
    vtc880::UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!master.valid()) {
        error = failure("posix_openpt");
        return false;
    }
    if (::grantpt(master.get()) != 0 || ::unlockpt(master.get()) != 0) {
        error = failure("unlockpt");
        return false;
    }
    std::vector<char> name(256);
    const int nameResult = ::ptsname_r(master.get(), name.data(), name.size());
    if (nameResult != 0) {
        errno = nameResult;
        error = failure("ptsname_r");
        return false;
    }
    std::string path(name.data());
    vtc880::UniqueFd slave(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!slave.valid()) {
        error = failure(("open " + path).c_str());
        return false;
    }
    // Raw from the start: a cooked slave would echo the device's own replies back to it whenever
    // no updater holds the port, and an updater restores the settings it found when it closes.
    termios settings{};
    if (::tcgetattr(slave.get(), &settings) != 0) {
        error = failure("tcgetattr");
        return false;
    }
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    ::cfsetispeed(&settings, *constant);
    ::cfsetospeed(&settings, *constant);
    if (::tcsetattr(slave.get(), TCSANOW, &settings) != 0) {
        error = failure("tcsetattr");
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

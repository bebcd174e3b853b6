#include "PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <unistd.h>

PseudoTerminal::PseudoTerminal() {
    fd.reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!fd.valid())
        throw std::runtime_error("posix_openpt failed");
    char name[256];
    if (::grantpt(fd.get()) != 0 || ::unlockpt(fd.get()) != 0 ||
        ::ptsname_r(fd.get(), name, sizeof name) != 0)
        throw std::runtime_error("cannot set up the pseudo-terminal");
    path = name;
    termios raw{};
    ::tcgetattr(fd.get(), &raw);
    ::cfmakeraw(&raw);
    ::cfsetispeed(&raw, B9600);
    ::cfsetospeed(&raw, B9600);
    setLineSettings(raw);
}

termios PseudoTerminal::lineSettings() const {
    termios t{};
    if (::tcgetattr(fd.get(), &t) != 0)
        throw std::runtime_error("tcgetattr on the master failed");
    return t;
}

void PseudoTerminal::setLineSettings(const termios& settings) {
    if (::tcsetattr(fd.get(), TCSANOW, &settings) != 0)
        throw std::runtime_error("tcsetattr on the master failed");
}

void PseudoTerminal::put(const Bytes& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw std::runtime_error("write to the master failed");
        done += std::size_t(n);
    }
}

void PseudoTerminal::put(const std::string& text) {
    put(Bytes(text.begin(), text.end()));
}

Bytes PseudoTerminal::take(std::size_t count, std::chrono::milliseconds limit) {
    Bytes got;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (got.size() < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{fd.get(), POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) <= 0 || (p.revents & POLLIN) == 0)
            break;
        std::uint8_t buffer[4096];
        const std::size_t want = std::min(sizeof buffer, count - got.size());
        const ssize_t n = ::read(fd.get(), buffer, want);
        if (n <= 0)
            break;
        got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

std::size_t openDescriptorCount() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

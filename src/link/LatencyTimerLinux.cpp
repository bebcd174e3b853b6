#include "link/LatencyTimer.h"
#include "link/UniqueFd.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <system_error>
#include <unistd.h>

namespace vtc880 {

namespace fs = std::filesystem;

namespace {

// The kernel writes the timer as at most three digits and a line feed; anything longer is not one.
constexpr std::size_t longestValue = 8;

// O_NONBLOCK: whatever the file turns out to be (a FIFO in a tree that is not sysfs), the open
// must not wait.
UniqueFd openTimer(const std::string& path, int mode) {
    int fd;
    do
        fd = ::open(path.c_str(), mode | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    while (fd < 0 && errno == EINTR);
    return UniqueFd(fd);
}

} // namespace

std::string latencyTimerPath(const std::string& ttyClass, const std::string& devicePath) {
    std::error_code error;
    const fs::path device = fs::canonical(devicePath, error);
    if (error || !device.has_filename())
        return {};
    const fs::path timer = fs::path(ttyClass) / device.filename() / "device" / "latency_timer";
    return fs::is_regular_file(timer, error) ? timer.string() : std::string();
}

std::optional<int> readLatencyTimer(const std::string& timerPath) {
    const UniqueFd fd = openTimer(timerPath, O_RDONLY);
    if (!fd.valid())
        return std::nullopt;
    char text[longestValue + 1];
    ssize_t n;
    do
        n = ::read(fd.get(), text, sizeof text);
    while (n < 0 && errno == EINTR);
    if (n <= 0 || std::size_t(n) > longestValue)
        return std::nullopt;
    std::size_t end = std::size_t(n);
    while (end > 0 && (text[end - 1] == '\n' || text[end - 1] == ' '))
        --end;
    int value = -1;
    const auto [last, ec] = std::from_chars(text, text + end, value);
    if (ec != std::errc() || last != text + end || end == 0 || value < 0 || value > 255)
        return std::nullopt;
    return value;
}

bool writeLatencyTimer(const std::string& timerPath, int milliseconds) {
    if (milliseconds < 0 || milliseconds > 255)
        return false;
    UniqueFd fd = openTimer(timerPath, O_WRONLY | O_TRUNC);
    if (!fd.valid())
        return false;
    const std::string text = std::to_string(milliseconds) + "\n";
    ssize_t n;
    do
        n = ::write(fd.get(), text.data(), text.size());
    while (n < 0 && errno == EINTR);
    // sysfs takes the value in the write; a real file (a test's tree) may still fail on close.
    const bool closed = fd.close();
    return n == ssize_t(text.size()) && closed;
}

} // namespace vtc880

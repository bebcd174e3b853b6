#include "link/SysfsTty.h"
#include "vtc880/UniqueFd.h"

#include <cerrno>
#include <charconv>
#include <fcntl.h>
#include <unistd.h>

namespace vtc880 {

namespace fs = std::filesystem;

namespace {

// The kernel writes the timer as at most three digits and a line feed; anything longer is not one.
constexpr std::size_t longestTimer = 8;
// An attribute is at most a page; the USB strings are far shorter.
constexpr std::size_t longestAttribute = 4096;

// O_NONBLOCK: whatever the file turns out to be (a FIFO in a tree that is not sysfs), the open
// must not wait.
UniqueFd openAttribute(const fs::path& path, int mode) {
    int fd;
    do
        fd = ::open(path.c_str(), mode | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    while (fd < 0 && errno == EINTR);
    return UniqueFd(fd);
}

// The whole text of an attribute, when it can be read and holds at most `most` bytes.
std::optional<std::string> readAttribute(const fs::path& path, std::size_t most) {
    const UniqueFd fd = openAttribute(path, O_RDONLY);
    if (!fd.valid())
        return std::nullopt;
    std::string text;
    char buffer[512];
    for (;;) {
        ssize_t n;
        do
            n = ::read(fd.get(), buffer, sizeof buffer);
        while (n < 0 && errno == EINTR);
        if (n < 0 || text.size() + std::size_t(n) > most)
            return std::nullopt;
        if (n == 0)
            return text;
        text.append(buffer, std::size_t(n));
    }
}

// The first line of an attribute, as the kernel ends each with a line feed; empty when unreadable.
std::string firstLine(const fs::path& path) {
    const std::string text = readAttribute(path, longestAttribute).value_or(std::string());
    return text.substr(0, text.find('\n'));
}

// The folder of the tty `device` leads to; empty when the path names none.
fs::path ttyFolderOf(const std::string& device, const std::string& sys) {
    std::error_code error;
    const fs::path resolved = fs::canonical(device, error);
    const std::string tty = (error ? fs::path(device) : resolved).filename().string();
    if (tty.empty() || tty == "." || tty == "..")
        return {};
    return sysfsTtyFolder(tty, sys);
}

// The USB device a tty's device hangs from: the first folder above it that has idVendor.
fs::path usbDeviceOf(const fs::path& ttyDevice) {
    std::error_code error;
    for (fs::path at = fs::canonical(ttyDevice, error); !error && at.has_relative_path();
         at = at.parent_path()) {
        if (fs::exists(at / "idVendor", error))
            return at;
    }
    return {};
}

} // namespace

std::string ttyDriver(const std::string& device, const std::string& sys) {
    const fs::path tty = ttyFolderOf(device, sys);
    if (tty.empty())
        return {};
    std::error_code error;
    return fs::read_symlink(tty / "device" / "driver", error).filename().string();
}

bool hasUart(const std::string& tty, const std::string& sys) {
    const std::string type = firstLine(sysfsTtyFolder(tty, sys) / "type");
    return !type.empty() && type != "0";
}

UsbIdentity usbIdentityOf(const std::string& device, const std::string& sys) {
    const fs::path tty = ttyFolderOf(device, sys);
    const fs::path usb = tty.empty() ? fs::path() : usbDeviceOf(tty / "device");
    if (usb.empty())
        return {};
    UsbIdentity identity;
    identity.vendorId = firstLine(usb / "idVendor");
    if (identity.vendorId.empty())
        return {};
    identity.productId = firstLine(usb / "idProduct");
    identity.manufacturer = firstLine(usb / "manufacturer");
    identity.product = firstLine(usb / "product");
    identity.serial = firstLine(usb / "serial");
    return identity;
}

std::string latencyTimerPath(const std::string& device, const std::string& sys) {
    const fs::path tty = ttyFolderOf(device, sys);
    if (tty.empty())
        return {};
    const fs::path timer = tty / "device" / "latency_timer";
    std::error_code error;
    return fs::is_regular_file(timer, error) ? timer.string() : std::string();
}

std::optional<int> readLatencyTimer(const std::string& timerPath) {
    const std::optional<std::string> text = readAttribute(timerPath, longestTimer);
    if (!text)
        return std::nullopt;
    std::size_t end = text->size();
    while (end > 0 && ((*text)[end - 1] == '\n' || (*text)[end - 1] == ' '))
        --end;
    int value = -1;
    const char* first = text->data();
    const auto [last, ec] = std::from_chars(first, first + end, value);
    if (ec != std::errc() || last != first + end || end == 0 || value < 0 || value > 255)
        return std::nullopt;
    return value;
}

bool writeLatencyTimer(const std::string& timerPath, int milliseconds) {
    if (milliseconds < 0 || milliseconds > 255)
        return false;
    UniqueFd fd = openAttribute(timerPath, O_WRONLY | O_TRUNC);
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

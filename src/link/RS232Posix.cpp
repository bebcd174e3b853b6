#include "link/LowLatency.h"
#include "link/RS232.h"
#include "link/SysfsTty.h"
#include "vtc880/DeviceCodes.h"
#include "vtc880/UniqueFd.h"

#include <cerrno>
#include <charconv>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace vtc880 {

namespace {

// Longest bare name (one looked up under /dev/), as the original 32-byte path buffer allowed.
constexpr std::size_t maxBareName = 27;
// Longest name given as a path.
constexpr std::size_t maxPathName = PATH_MAX - 1;
// A write that makes no progress for this long means the port is dead.
constexpr auto writeStallLimit = std::chrono::seconds(5);
// How long the close waits for queued output before restoring the settings it found.
constexpr auto drainLimit = std::chrono::seconds(2);

speed_t speedCode(std::int32_t baudRate) {
    switch (baudRate) {
    case 50:
        return B50;
    case 75:
        return B75;
    case 110:
        return B110;
    case 134:
        return B134;
    case 150:
        return B150;
    case 200:
        return B200;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 1800:
        return B1800;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 500000:
        return B500000;
    case 576000:
        return B576000;
    case 921600:
        return B921600;
    case 1000000:
        return B1000000;
    case 1152000:
        return B1152000;
    case 1500000:
        return B1500000;
    case 2000000:
        return B2000000;
    case 2500000:
        return B2500000;
    case 3000000:
        return B3000000;
    case 3500000:
        return B3500000;
    case 4000000:
        return B4000000;
    default:
        return B0; // no such rate on this system
    }
}

PortError causeOf(int err) {
    switch (err) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
        return PortError::notFound;
    case EACCES:
    case EPERM:
    case EROFS:
        return PortError::permissionDenied;
    case EBUSY:
    case EWOULDBLOCK:
        return PortError::busy;
    case ENOTTY:
        return PortError::notSerial;
    case ENAMETOOLONG:
        return PortError::badName;
    default:
        return PortError::other;
    }
}

int msUntil(std::chrono::steady_clock::time_point deadline) {
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0)
        return 0;
    return left.count() > INT_MAX ? INT_MAX : int(left.count());
}

// Waits for `events` on fd; retries signals. Returns poll's revents, 0 on time-out, -1 on error.
int waitFor(int fd, short events, std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        pollfd p{fd, events, 0};
        const int n = ::poll(&p, 1, msUntil(deadline));
        if (n > 0)
            return p.revents;
        if (n == 0)
            return 0;
        if (errno != EINTR)
            return -1;
    }
}

// A read or write failed because the device is no longer there (unplugged, hung up).
bool isGone(int err) {
    return err == EIO || err == ENXIO || err == ENODEV;
}

} // namespace

std::string devicePathFor(const std::string& portName) {
    if (portName.empty() || portName.find('\0') != std::string::npos)
        return {};
    if (portName.find('/') != std::string::npos)
        return portName.size() <= maxPathName ? portName : std::string();
    if (portName.size() > maxBareName)
        return {};
    // COMn, n from 1 and written without leading zeros, is the n-th serial port; com1 is COM1, as on
    // Windows, where port names know no case.
    const auto letter = [&](std::size_t i, char upper) {
        return portName[i] == upper || portName[i] == upper + 32;
    };
    if (portName.size() > 3 && letter(0, 'C') && letter(1, 'O') && letter(2, 'M') && portName[3] != '0') {
        const char* first = portName.data() + 3;
        const char* last = portName.data() + portName.size();
        unsigned n = 0;
        const auto [end, ec] = std::from_chars(first, last, n);
        if (ec == std::errc() && end == last && n >= 1)
            return "/dev/ttyS" + std::to_string(n - 1);
    }
    return "/dev/" + portName;
}

struct RS232::Port {
    std::string path;
    std::string sysfs; // where sysfs is, which shows an adapter's latency timer
    std::int32_t baudRate = 0;
    UniqueFd fd;
    bool locked = false;    // holds the flock
    bool exclusive = false; // set TIOCEXCL
    bool saved = false;     // `found` holds the settings to restore
    bool lost = false;      // the line hung up or the device went away
    termios found{};
    LowLatency latency;
    std::uint32_t readTimeoutMs = Limits::openTimeoutMs;
    PortError cause = PortError::none;
    int systemError = 0;

    ~Port() { release(); }

    // Undoes whatever the open did, newest first, and closes: the same on close and on an open that
    // fails half-way.
    void release();
    void fail(PortError why, int err) {
        cause = why;
        systemError = err;
        release();
    }

    void open();
    void configure();
};

void RS232::Port::release() {
    if (!fd.valid())
        return;
    const int f = fd.get();
    // The flag belongs to the tty, not to our descriptor: on a pseudo-terminal whose master
    // stays open it would outlive this close and refuse the next open. Cleared first, so that a
    // peer watching the line sees the port released before its settings change back.
    if (exclusive)
        ::ioctl(f, TIOCNXCL);
    if (saved) {
        // Let queued output leave at our speed before the old settings come back, or the last
        // frame would go out garbled; a stuck line must not hold the close for long. A line that is
        // gone has nothing to wait for.
        const auto deadline = std::chrono::steady_clock::now() + drainLimit;
        int queued = 0;
        while (!lost && ::ioctl(f, TIOCOUTQ, &queued) == 0 && queued > 0 &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        // What is still queued would hold the close itself for the driver's closing wait (30 s).
        if (queued > 0)
            ::tcflush(f, TCOFLUSH);
        ::tcsetattr(f, lost || queued > 0 ? TCSANOW : TCSADRAIN, &found);
    }
    latency.restore(f);
    if (locked)
        ::flock(f, LOCK_UN);
    locked = exclusive = saved = false;
    fd.reset();
}

void RS232::Port::open() {
    if (path.empty()) {
        cause = PortError::badName;
        return;
    }
    // Non-blocking while opening, so that a modem line cannot hold the open.
    int f;
    do
        f = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    while (f < 0 && errno == EINTR);
    if (f < 0) {
        fail(causeOf(errno), errno);
        return;
    }
    fd.reset(f);
    if (!::isatty(f)) {
        fail(PortError::notSerial, errno);
        return;
    }
    // flock also stops root, whom TIOCEXCL lets through.
    if (::flock(f, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        fail(err == EWOULDBLOCK ? PortError::busy : causeOf(err), err);
        return;
    }
    locked = true;
    exclusive = ::ioctl(f, TIOCEXCL) == 0;
    const int flags = ::fcntl(f, F_GETFL);
    if (flags >= 0)
        ::fcntl(f, F_SETFL, flags & ~O_NONBLOCK);
    latency.request(f, latencyTimerPath(path, sysfs));
    configure();
}

void RS232::Port::configure() {
    const int f = fd.get();
    if (::tcgetattr(f, &found) != 0) {
        fail(causeOf(errno), errno);
        return;
    }
    saved = true;
    const speed_t speed = speedCode(baudRate);
    if (speed == B0) {
        fail(PortError::unsupportedSpeed, 0);
        return;
    }

    termios line = found;
    ::cfmakeraw(&line);
    line.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    line.c_cflag |= CS8 | CLOCAL | CREAD;
    line.c_cc[VMIN] = 0;
    line.c_cc[VTIME] = 0;
    ::cfsetispeed(&line, speed);
    ::cfsetospeed(&line, speed);
    if (::tcsetattr(f, TCSANOW, &line) != 0) {
        const int err = errno;
        fail(err == EINVAL ? PortError::unsupportedSpeed : causeOf(err), err);
        return;
    }

    // tcsetattr succeeds when any one change took, and a UART keeps its old speed for one it cannot
    // run: only what the driver holds now counts. A pseudo-terminal holds whatever it is given.
    termios now{};
    if (::tcgetattr(f, &now) != 0) {
        fail(causeOf(errno), errno);
        return;
    }
    if (::cfgetospeed(&now) != speed || ::cfgetispeed(&now) != speed) {
        fail(PortError::unsupportedSpeed, 0);
        return;
    }
    if ((now.c_cflag & (CSIZE | PARENB | CSTOPB | CRTSCTS)) != CS8 || (now.c_lflag & ICANON) != 0) {
        fail(PortError::unsupportedFraming, 0);
        return;
    }

    // RTS and DTR up; a pseudo-terminal has no modem lines, so failure is fine.
    int lines = TIOCM_RTS | TIOCM_DTR;
    ::ioctl(f, TIOCMBIS, &lines);
}

RS232::RS232(const std::string& portName, std::int32_t baudRate) : RS232(portName, baudRate, sysfsRoot) {}

RS232::RS232(const std::string& portName, std::int32_t baudRate, const std::string& sysfs)
    : port(std::make_unique<Port>()) {
    port->path = devicePathFor(portName);
    port->sysfs = sysfs;
    port->baudRate = baudRate;
    port->open();
    error = !port->fd.valid();
}

RS232::~RS232() = default;

int RS232::read(void* buffer, std::uint32_t length, std::uint32_t* got) {
    if (!port->fd.valid())
        return 0;
    *got = 0;
    if (port->lost)
        return 0;
    if (length == 0)
        return 1;
    const int f = port->fd.get();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(port->readTimeoutMs);
    for (;;) {
        const int revents = waitFor(f, POLLIN, deadline);
        if (revents == 0)
            return 1; // nothing came within the time-out
        if (revents < 0)
            return 0;
        if ((revents & POLLIN) == 0) {
            // Hang-up or error with nothing left to read.
            if ((revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
                port->lost = true;
            return 0;
        }
        const ssize_t n = ::read(f, buffer, length);
        if (n > 0) {
            *got = std::uint32_t(n);
            return 1;
        }
        if (n < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        // End of file (the other end hung up) or the device went away.
        if (n == 0 || isGone(errno))
            port->lost = true;
        return 0;
    }
}

int RS232::write(const void* buffer, std::uint32_t length, std::uint32_t* written) {
    if (!port->fd.valid())
        return 0;
    if (port->lost) {
        *written = 0;
        return 0;
    }
    const int f = port->fd.get();
    const auto* bytes = static_cast<const std::uint8_t*>(buffer);
    std::uint32_t done = 0;
    auto lastProgress = std::chrono::steady_clock::now();
    while (done < length) {
        const ssize_t n = ::write(f, bytes + done, length - done);
        if (n > 0) {
            done += std::uint32_t(n);
            lastProgress = std::chrono::steady_clock::now();
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            if (isGone(errno))
                port->lost = true;
            break;
        }
        // The driver takes nothing now: wait for room, but not for ever.
        const int revents = waitFor(f, POLLOUT, lastProgress + writeStallLimit);
        if (revents > 0 && (revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) {
            port->lost = true;
            break;
        }
        if (revents <= 0)
            break; // a stall: the line is there but takes nothing
    }
    *written = done;
    return done == length ? 1 : 0;
}

void RS232::purge() {
    if (port->fd.valid())
        ::tcflush(port->fd.get(), TCIOFLUSH);
}

void RS232::timeOut(std::uint32_t milliseconds) {
    port->readTimeoutMs = milliseconds;
}

std::uint32_t RS232::readTimeOut() const {
    return port->readTimeoutMs;
}

PortError RS232::cause() const {
    return port->cause;
}

int RS232::systemError() const {
    return port->systemError;
}

const std::string& RS232::devicePath() const {
    return port->path;
}

std::int32_t RS232::baudRate() const {
    return port->baudRate;
}

bool RS232::lost() const {
    return port->lost;
}

} // namespace vtc880

#include "sim/SerialLine.h"

#include "sim/LineSpeed.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <ctime>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace sim {

namespace {

// A reply nobody reads for this long (the slave's input queue is full) is dropped, as a UART's
// bytes are lost when no one listens.
constexpr auto writeGiveUp = std::chrono::seconds(1);

timespec toTimespec(SerialLine::Clock::duration d) {
    if (d < SerialLine::Clock::duration::zero())
        d = SerialLine::Clock::duration::zero();
    // Long waits are cut into slices that fit any time_t; the callers loop.
    d = std::min<SerialLine::Clock::duration>(d, std::chrono::hours(24));
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(d);
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(d - seconds);
    return timespec{time_t(seconds.count()), long(nanoseconds.count())};
}

} // namespace

bool SerialLine::waitUntil(Clock::time_point deadline) const {
    for (;;) {
        pollfd stop{stopFd_, POLLIN, 0};
        const timespec timeout = toTimespec(deadline - Clock::now()); // zero once due: just look for a stop
        const int ready = ::ppoll(&stop, 1, &timeout, nullptr);
        if (ready > 0 || (ready < 0 && errno != EINTR))
            return false;
        if (Clock::now() >= deadline)
            return true;
    }
}

SerialLine::Wait SerialLine::waitReadable(std::optional<Clock::time_point> deadline) const {
    for (;;) {
        std::array<pollfd, 2> fds{pollfd{master_, POLLIN, 0}, pollfd{stopFd_, POLLIN, 0}};
        timespec timeout{};
        if (deadline)
            timeout = toTimespec(*deadline - Clock::now());
        const int ready = ::ppoll(fds.data(), fds.size(), deadline ? &timeout : nullptr, nullptr);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return Wait::failed;
        }
        if (fds[1].revents != 0)
            return Wait::stopped;
        if (fds[0].revents & POLLIN)
            return Wait::ready;
        if (fds[0].revents != 0)
            return Wait::failed;
        if (deadline && Clock::now() >= *deadline)
            return Wait::timeout;
    }
}

bool SerialLine::receive(std::deque<Byte>& queue, std::int32_t deviceSpeed) {
    std::array<std::uint8_t, 4096> buffer;
    const ssize_t got = ::read(master_, buffer.data(), buffer.size());
    if (got < 0)
        return errno == EAGAIN || errno == EINTR;
    if (got == 0)
        return false;
    const Clock::time_point now = Clock::now();
    // A pseudo-terminal tells the speed when the bytes are read, not when they were written. An updater
    // that writes its last frame and closes the port at once has its old settings restored by then;
    // it releases its exclusive hold first, so a release seen since the latest read means the bytes
    // went out at the speed it held the port at.
    int exclusive = 0;
    const bool heldNow = ::ioctl(slave_, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
    const std::int32_t senderSpeed = held_ && !heldNow ? heldSpeed_ : terminalSpeed(slave_);
    held_ = heldNow;
    heldSpeed_ = terminalSpeed(slave_);
    const auto perByte = byteTime(deviceSpeed);
    Clock::time_point arrival = std::max(now, receiveFree_);
    for (ssize_t i = 0; i < got; ++i) {
        if (lineModel_)
            arrival += perByte;
        queue.push_back(Byte{buffer[std::size_t(i)], lineModel_ ? arrival : now, senderSpeed});
    }
    receiveFree_ = arrival;
    return true;
}

bool SerialLine::writeAll(const std::uint8_t* bytes, std::size_t count) {
    const Clock::time_point giveUp = Clock::now() + writeGiveUp;
    while (count > 0) {
        const ssize_t put = ::write(master_, bytes, count);
        if (put > 0) {
            bytes += put;
            count -= std::size_t(put);
            continue;
        }
        if (put < 0 && errno == EINTR)
            continue;
        if (put < 0 && errno != EAGAIN)
            return false;
        if (Clock::now() >= giveUp)
            return true; // nobody reads: the rest is lost on the line
        std::array<pollfd, 2> fds{pollfd{master_, POLLOUT, 0}, pollfd{stopFd_, POLLIN, 0}};
        const timespec slice{0, 10'000'000};
        if (::ppoll(fds.data(), fds.size(), &slice, nullptr) > 0 && fds[1].revents != 0)
            return false;
    }
    return true;
}

bool SerialLine::send(const std::vector<std::uint8_t>& bytes, std::int32_t deviceSpeed) {
    const auto perByte = byteTime(deviceSpeed);
    if (!lineModel_ || perByte <= Clock::duration::zero())
        return writeAll(bytes.data(), bytes.size());
    std::vector<std::uint8_t> line = bytes;
    if (terminalSpeed(slave_) != deviceSpeed)
        std::fill(line.begin(), line.end(), garbledByte);
    const Clock::time_point start = std::max(Clock::now(), sendFree_);
    sendFree_ = start + perByte * std::int64_t(line.size());
    // Each byte is handed over once its last bit is out; bytes already due go in one write.
    std::size_t sent = 0;
    while (sent < line.size()) {
        const auto elapsed = Clock::now() - start;
        const std::size_t due = std::min(line.size(), std::size_t(elapsed / perByte));
        if (due <= sent) {
            if (!waitUntil(start + perByte * std::int64_t(sent + 1)))
                return false;
            continue;
        }
        if (!writeAll(line.data() + sent, due - sent))
            return false;
        sent = due;
    }
    return true;
}

} // namespace sim

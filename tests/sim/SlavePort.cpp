#include "SlavePort.h"

#include "common/LineIo.h"
#include "sim/PseudoTerminal.h"

#include <algorithm>
#include <fcntl.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

namespace simtest {

namespace {

std::uint8_t sum(const Bytes& bytes) {
    std::uint8_t s = 0;
    for (const std::uint8_t b : bytes)
        s += b;
    return s;
}

void put32(Bytes& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(std::uint8_t(v >> (8 * i)));
}

} // namespace

Bytes commandFrame(std::uint16_t code, const Bytes& data) {
    Bytes f{'*', std::uint8_t(code), std::uint8_t(code >> 8)};
    put32(f, std::uint32_t(data.size()));
    f.insert(f.end(), data.begin(), data.end());
    f.push_back('+');
    f.push_back(sum(f));
    return f;
}

Bytes chunkPayload(std::uint32_t wordAddress, const Bytes& bytes) {
    Bytes p;
    put32(p, wordAddress);
    put32(p, std::uint32_t(bytes.size()));
    p.insert(p.end(), bytes.begin(), bytes.end());
    return p;
}

Bytes replyBytes(std::uint8_t command, const Bytes& data) {
    Bytes f{'*', command};
    put32(f, std::uint32_t(data.size()));
    f.insert(f.end(), data.begin(), data.end());
    f.push_back('+');
    f.push_back(sum(f));
    return f;
}

Bytes bytesOf(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end)
            return false;
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

SlavePort::SlavePort(const std::string& path, std::int32_t speed)
    : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC)) {
    if (fd_.valid())
        setSpeed(speed);
}

void SlavePort::setSpeed(std::int32_t speed) {
    sim::setRawLine(fd_.get(), speed);
}

bool SlavePort::write(const Bytes& bytes) {
    return lineio::writeAll(fd_.get(), bytes);
}

Bytes SlavePort::readFor(std::chrono::milliseconds window) {
    return lineio::readWithin(fd_.get(), window);
}

SlavePort::Reply SlavePort::readReply(std::chrono::milliseconds limit) {
    Reply reply;
    Bytes frame;
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return reply;
        pollfd p{fd_.get(), POLLIN, 0};
        const int ready = ::poll(&p, 1, int(left.count()));
        if (ready <= 0)
            continue;
        std::uint8_t byte[1];
        // One byte at a time: nothing past the frame is taken from the line.
        const ssize_t n = ::read(fd_.get(), byte, 1);
        if (n <= 0) {
            reply.hungUp = true;
            return reply;
        }
        const auto now = std::chrono::steady_clock::now();
        if (frame.empty() && byte[0] != '*') {
            reply.before.push_back(byte[0]);
            continue;
        }
        if (frame.empty())
            reply.firstByte = now;
        else
            reply.longestGap = std::max(reply.longestGap, now - reply.lastByte);
        reply.lastByte = now;
        frame.push_back(byte[0]);
        if (frame.size() >= 6) {
            const std::uint32_t length = std::uint32_t(frame[2]) | std::uint32_t(frame[3]) << 8 |
                                         std::uint32_t(frame[4]) << 16 | std::uint32_t(frame[5]) << 24;
            if (length > 1024) { // not a reply this device sends: hand back what came
                reply.frame = frame;
                return reply;
            }
            if (frame.size() == 8 + length) {
                reply.frame = frame;
                return reply;
            }
        }
    }
}

} // namespace simtest

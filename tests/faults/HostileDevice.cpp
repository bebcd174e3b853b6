#include "HostileDevice.h"

#include "sim/FrameReader.h"
#include "sim/ReplyFrame.h"
#include "vtc880/DeviceCodes.h"
#include "vtc880/LittleEndian.h"

#include <array>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <unistd.h>
#include <vector>

using namespace vtc880;

HostileDevice::HostileDevice(std::optional<std::uint16_t> turnAt) : turnAt(turnAt), turned(!turnAt) {}

HostileDevice::~HostileDevice() {
    if (thread.joinable()) {
        const char wake = 1;
        while (::write(stopWrite.get(), &wake, 1) < 0 && errno == EINTR) {
        }
        thread.join();
    }
}

bool HostileDevice::start(std::string& error) {
    if (!pty.open(Speed::update, error)) {
        return false;
    }
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = "pipe2 failed";
        return false;
    }
    stopRead.reset(ends[0]);
    stopWrite.reset(ends[1]);
    thread = std::thread([this] { run(); });
    return true;
}

void HostileDevice::run() {
    std::mt19937_64 random(std::random_device{}());
    std::vector<std::uint8_t> noise(4096);
    std::vector<std::uint8_t> pending; // a reply not yet written
    sim::FrameReader frames;
    std::array<std::uint8_t, 4096> in;
    for (;;) {
        const bool flood = turned.load();
        if (flood && pending.empty()) {
            for (std::size_t k = 0; k < noise.size(); k += 8) {
                le::put32(&noise[k], std::uint32_t(random()));
                le::put32(&noise[k + 4], std::uint32_t(random()));
            }
            pending = noise;
        }
        std::array<pollfd, 2> fds{pollfd{pty.master(), short(POLLIN | (pending.empty() ? 0 : POLLOUT)), 0},
                                  pollfd{stopRead.get(), POLLIN, 0}};
        if (::poll(fds.data(), fds.size(), 100) < 0 && errno != EINTR) {
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        if (fds[0].revents & POLLIN) {
            const ssize_t got = ::read(pty.master(), in.data(), in.size());
            for (ssize_t k = 0; k < got && !turned.load(); ++k) {
                if (frames.feed(in[std::size_t(k)]) != sim::FrameReader::Result::frame) {
                    continue;
                }
                if (frames.code() == turnAt) {
                    turned = true;
                    pending.clear();
                } else if (frames.code() == Code::EraseTimeQuery) {
                    const std::vector<std::uint8_t> reply = sim::replyFrame(Reply::Ack, {0, 0, 0, 0});
                    pending.insert(pending.end(), reply.begin(), reply.end());
                } else if (frames.code() != Code::Finish) {
                    const std::vector<std::uint8_t> reply = sim::replyFrame(Reply::Ack);
                    pending.insert(pending.end(), reply.begin(), reply.end());
                }
            }
        }
        if (!pending.empty() && (fds[0].revents & POLLOUT)) {
            const ssize_t put = ::write(pty.master(), pending.data(), pending.size());
            if (put > 0) {
                pending.erase(pending.begin(), pending.begin() + put);
                if (flood) {
                    sent += std::uint64_t(put);
                }
            }
        }
    }
}

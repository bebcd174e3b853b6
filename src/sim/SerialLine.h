#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

namespace sim {

// The device's side of the line over the pseudo-terminal master: waits that a stop request cuts short,
// reads, and writes that never block the device for good. With the line model on, each byte takes
// 10 bits of time at the device's speed in both directions, and a byte sent while the two ends are set
// to different speeds arrives garbled. The speed of the other end is the one set on the slave.
class SerialLine {
  public:
    using Clock = std::chrono::steady_clock;

    struct Byte {
        std::uint8_t value;
        Clock::time_point arrival; // when its last bit is in (the time it was read, without the model)
        std::int32_t senderSpeed;  // the speed set on the slave when it was read
    };

    enum class Wait { ready, timeout, stopped, failed };

    SerialLine(int master, int slave, int stopFd, bool lineModel)
        : master_(master), slave_(slave), stopFd_(stopFd), lineModel_(lineModel) {}

    // Sleeps until the deadline; false when a stop was requested.
    bool waitUntil(Clock::time_point deadline) const;
    // Waits for bytes to read, until the deadline if there is one.
    Wait waitReadable(std::optional<Clock::time_point> deadline) const;
    // Reads what is there (at most a few KiB) onto the queue; false when the line failed.
    bool receive(std::deque<Byte>& queue, std::int32_t deviceSpeed);
    // Sends at the device's speed; false when stopped or the line failed.
    bool send(const std::vector<std::uint8_t>& bytes, std::int32_t deviceSpeed);
    // Whether a byte received at senderSpeed reaches the device intact.
    bool intact(const Byte& byte, std::int32_t deviceSpeed) const {
        return !lineModel_ || byte.senderSpeed == deviceSpeed;
    }

  private:
    bool writeAll(const std::uint8_t* bytes, std::size_t count);

    int master_;
    int slave_;
    int stopFd_;
    bool lineModel_;
    Clock::time_point receiveFree_{}; // when the receiving line is idle again
    std::int32_t heldSpeed_ = 0;      // the sender's speed at the latest read, while it held the port
    bool held_ = false;               // the sender held the port exclusively at the latest read
    Clock::time_point sendFree_{};
};

} // namespace sim

#pragma once

#include <chrono>
#include <cstdint>
#include <memory>

namespace vtc880 {

// How long one poll may wait. Most polls wait for the next byte of a reply already under way, or
// spin the three-second chunk wait; the waits counted in ten polls (the handshake and the
// erase-time query) give each silent poll longer.
enum class PollWait { chunk, reply };

// The read time-out of one poll of each kind, and the one place these times are set. A reply poll at
// 1 ms gave the device about 10 ms in ten polls, less than a USB adapter may hold bytes back (16 ms)
// or a busy machine may take to schedule the device's side; the updater's first system ran its 1 ms
// waits on a timer of about 16 ms.
constexpr std::chrono::milliseconds pollWait(PollWait wait) {
    return wait == PollWait::reply ? std::chrono::milliseconds(16) : std::chrono::milliseconds(1);
}

// The device link as the workers use it: frames out, polls for a reply, and the latest frame parsed.
// Protocole is the real one; tests script one so that they decide what each poll brings.
class Link {
  public:
    Link();
    virtual ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    virtual void purge() = 0;
    // One frame: '*', code (2 bytes), size (4 bytes), data, '+', checksum.
    virtual void send(std::uint16_t code, std::uint32_t size, const std::uint8_t* data) = 0;
    // One poll: reads and parses until a frame completes or a read brings nothing within `wait`, and
    // ends after twice `wait` while bytes keep coming (a line that never falls quiet).
    virtual void extract(std::chrono::milliseconds wait = pollWait(PollWait::chunk)) = 0;
    // "FIRMWAREUPDATE\r" then "$KQ-", paced.
    virtual void sendDownload() = 0;
    // The port has gone (adapter unplugged, line hung up): no reply can come any more.
    virtual bool lost() const { return false; }

    bool commandReady = false; // a complete frame with a correct checksum was parsed; callers clear it
    std::uint8_t command = 0;  // command byte of the latest frame
    // Data length of the frame being parsed, then of the last one. A frame longer than
    // Frame::receiveCapacity is read to its end and refused (commandReady false); its length stays here
    // while `data` holds only its first Frame::receiveCapacity bytes: never read past the capacity.
    std::uint32_t dataSize = 0;
    std::unique_ptr<std::uint8_t[]> data; // Frame::receiveCapacity bytes
};

} // namespace vtc880

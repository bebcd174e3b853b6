#pragma once

// The tests' own end of the line: the slave opened with plain POSIX calls, bytes built by hand.
// Deliberately independent of the updater's link code, so each side checks the other.

#include "vtc880/UniqueFd.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace simtest {

using Bytes = std::vector<std::uint8_t>;
using namespace std::chrono_literals;

// A frame as the updater sends it: '*', code LE16, length LE32, data, '+', checksum.
Bytes commandFrame(std::uint16_t code, const Bytes& data = {});
// The data of ProgramChunk and VerifyChunk: word address, count, bytes.
Bytes chunkPayload(std::uint32_t wordAddress, const Bytes& bytes);
// A frame as the device sends it: '*', command byte, length LE32, data, '+', checksum.
Bytes replyBytes(std::uint8_t command, const Bytes& data = {});
Bytes bytesOf(const std::string& text);

// Polls until the condition holds or the time is up; tells whether it held.
bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit = 3000ms);

class SlavePort {
  public:
    explicit SlavePort(const std::string& path, std::int32_t speed = 19200);

    bool isOpen() const { return fd_.valid(); }
    int fd() const { return fd_.get(); }
    void setSpeed(std::int32_t speed);
    bool write(const Bytes& bytes);
    bool write(const std::string& text) { return write(bytesOf(text)); }

    // Everything that arrives within the window.
    Bytes readFor(std::chrono::milliseconds window);

    struct Reply {
        Bytes before; // bytes ahead of the frame's start byte
        Bytes frame;  // from '*' to the checksum; empty when none completed in time
        std::chrono::steady_clock::duration longestGap{}; // between two bytes of the frame
        bool hungUp = false;
        std::chrono::steady_clock::time_point firstByte{}, lastByte{};
    };
    // Reads until one frame in the device's format is complete, the time is up, or the line hangs up.
    Reply readReply(std::chrono::milliseconds limit = 3000ms);

  private:
    vtc880::UniqueFd fd_;
};

} // namespace simtest

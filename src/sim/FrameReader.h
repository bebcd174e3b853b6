#pragma once

#include <cstdint>
#include <vector>

namespace sim {

// Parses the frames the updater sends: '*', command code (16-bit LE), data length (32-bit LE), data,
// '+', checksum (sum modulo 256 of every byte before it). One byte at a time; bytes outside a frame
// are skipped. A frame whose length exceeds maxData is rejected as soon as its length is known, so
// no input makes the reader hold more than maxData bytes.
class FrameReader {
  public:
    static constexpr std::uint32_t maxData = 64 * 1024;
    enum class Result { none, frame, badFrame };

    Result feed(std::uint8_t byte);
    void reset();
    bool hunting() const { return state_ == State::hunt; }

    // The frame just completed (or rejected), as far as it was received.
    std::uint16_t code() const { return code_; }
    const std::vector<std::uint8_t>& data() const { return data_; }

  private:
    enum class State { hunt, code, length, data, end, checksum };
    Result reject();

    State state_ = State::hunt;
    std::uint32_t index_ = 0;
    std::uint32_t length_ = 0;
    std::uint8_t sum_ = 0;
    std::uint16_t code_ = 0;
    std::vector<std::uint8_t> data_;
};

} // namespace sim

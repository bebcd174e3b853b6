#pragma once

#include "sim/Received.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace sim {

// The device's normal mode: plain characters. It recognises the speed command ("%dBR%d\r": the line
// speed switches after the carriage return) and the firmware-update preamble ("FIRMWAREUPDATE\r" then
// "$KQ-"), and cuts what it receives into runs for the transcript: a run ends with a carriage return,
// with the end of the preamble, after maxRun characters, or when the caller flushes it after a pause.
// Leading garbage on a line does not hide a command at its end.
class AsciiReader {
  public:
    static constexpr std::size_t maxRun = 256;

    struct Event {
        std::optional<Received> run;             // a run that just ended
        std::optional<std::int32_t> switchSpeed; // a speed command for a speed the line can take
        bool enterUpdate = false;                // the preamble is complete
    };

    Event feed(std::uint8_t byte, std::chrono::steady_clock::time_point time, std::int32_t speed);
    std::optional<Received> flush(); // ends the current run, if any
    bool pending() const { return !run_.text.empty(); }
    std::chrono::steady_clock::time_point lastByteTime() const { return lastByteTime_; }
    void reset();

  private:
    std::optional<std::int32_t> speedCommand() const;
    bool lineIsPreambleStart() const;

    static constexpr std::size_t maxLine = 32; // the longest command, with room for a little garbage
    std::string line_;                         // characters since the last carriage return (the last maxLine)
    std::size_t preambleMatched_ = 0;          // characters of "$KQ-" matched after "FIRMWAREUPDATE\r"
    bool armed_ = false;
    Received run_;
    std::chrono::steady_clock::time_point lastByteTime_;
};

} // namespace sim

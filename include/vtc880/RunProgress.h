#pragma once

#include "vtc880/RunReport.h"

#include <chrono>
#include <cstdint>
#include <mutex>

namespace vtc880 {

// Keeps the report of the run under way: written by its worker, read from any thread.
class RunProgress {
  public:
    using Time = std::chrono::steady_clock::duration;

    void begin(std::uint64_t imageBytes); // a new run: nothing reached the device yet
    void setImageBytes(std::uint64_t imageBytes);
    void enter(Phase phase, Time now);
    void end(Time now); // closes the time of the phase under way

    void preambleSent();
    void eraseSent();
    void eraseAcknowledged();
    void chunkAcknowledged(std::uint32_t wordAddress, std::uint32_t length);
    void allProgrammed();
    void finishSent();
    void verified(std::uint32_t length);
    void verifyRefused(const VerifyMismatch& where);

    RunReport report() const;
    // An erase went out or more: the device may no longer hold the firmware it held.
    bool firmwareTouched() const;

  private:
    void closePhase(Time now);

    mutable std::mutex mutex;
    RunReport state;
    Time phaseStart{};
    bool phaseOpen = false;
};

} // namespace vtc880

#pragma once

#include "control/DeviceState.h"
#include "control/Phase.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>

namespace vtc880 {

// The chunk a verify found different (ErrorReply) or left unanswered.
struct VerifyMismatch {
    int block = -1;                // index in the image's block list
    std::uint32_t wordAddress = 0; // of the chunk's first byte
    std::uint32_t blockOffset = 0; // of the chunk's first byte within its block
    std::uint32_t length = 0;      // bytes in the chunk
    bool answered = false;         // the device said it differs; otherwise it did not answer
};

// What one run has done so far: the phase it is in and how long each took, and what the device
// acknowledged. Written by the run's worker; read from any thread.
struct RunReport {
    DeviceHolding device;
    std::optional<Phase> phase; // the phase under way, or the last one entered once the run ended
    PhaseTimes times{};
    std::uint64_t bytesVerified = 0; // bytes of the verify chunks the device found equal
    std::optional<VerifyMismatch> mismatch;
};

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

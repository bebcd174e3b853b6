#pragma once

#include "vtc880/DeviceState.h"
#include "vtc880/Phase.h"

#include <cstdint>
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

// A run's time: the sum of its phases, in seconds.
double runSeconds(const RunReport& report);

} // namespace vtc880

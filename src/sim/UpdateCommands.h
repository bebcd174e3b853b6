#pragma once

#include "sim/Config.h"
#include "sim/FlashMemory.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

namespace sim {

// What the device does with one frame in firmware-update mode.
struct Action {
    std::optional<std::vector<std::uint8_t>> reply; // the reply frame, before any reply fault is applied
    std::int32_t busyMs = 0;                        // how long the device works before it replies
    bool leaveUpdateMode = false;
    bool hangUp = false; // instead of replying
};

// The device's answers to the frames: Handshake, EraseTimeQuery, EraseAll, ProgramChunk (into flash),
// VerifyChunk (against flash) and Finish; ErrorReply to a malformed chunk payload, a chunk outside
// the flash, a Finish without its selector byte and a code it does not know. The faults that change
// what a command does (error on erase or on chunk k, hang-up, short erase-time Ack) are applied here;
// those that only change how the reply travels are the caller's.
class UpdateCommands {
  public:
    UpdateCommands(const Config& config, FlashMemory& flash) : config_(config), flash_(flash) {}

    Action handle(std::uint16_t code, const std::vector<std::uint8_t>& data);
    int chunksProgrammed() const { return chunksProgrammed_.load(); }

  private:
    struct ChunkPayload {
        std::uint64_t byteAddress;
        const std::uint8_t* bytes;
        std::uint32_t count;
    };
    static std::optional<ChunkPayload> chunkOf(const std::vector<std::uint8_t>& data);
    Action programChunk(const std::vector<std::uint8_t>& data);
    Action verifyChunk(const std::vector<std::uint8_t>& data);

    const Config& config_;
    FlashMemory& flash_;
    int programFrames_ = 0; // ProgramChunk frames received, the failing ones too
    std::atomic<int> chunksProgrammed_{0};
};

} // namespace sim

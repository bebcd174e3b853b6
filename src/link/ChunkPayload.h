#pragma once

#include "vtc880/DeviceCodes.h"

#include <array>
#include <cstdint>

namespace vtc880 {

// The data of a ProgramChunk or VerifyChunk frame.
using ChunkPayload = std::array<std::uint8_t, Chunk::maxPayload>;

// Fills `payload` with the word address, the byte count and the bytes, and returns the frame's data
// length (count + 8). Returns 0 and leaves `payload` alone when count is 0 or over Chunk::maxBytes.
std::uint32_t buildChunkPayload(ChunkPayload& payload, std::uint32_t wordAddress, const std::uint8_t* bytes,
                                std::uint32_t count);

} // namespace vtc880

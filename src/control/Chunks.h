#pragma once

#include "control/Link.h"
#include "image/FileCopy.h"

#include <cstdint>

// Walks one block in chunks of at most Chunk::maxBytes. The device counts addresses in 16-bit words,
// so the address moves on by half the bytes of each chunk.
class ChunkCursor {
  public:
    explicit ChunkCursor(const FileBlock& block);

    bool done() const { return remaining == 0; }
    std::uint32_t length() const; // bytes of the current chunk
    std::uint32_t address() const { return wordAddress; }
    const std::uint8_t* bytes() const { return next; }
    std::uint32_t sent() const { return size - remaining; } // bytes of the block already passed
    void advance();

  private:
    std::uint32_t size;
    std::uint32_t remaining;
    const std::uint8_t* next;
    std::uint32_t wordAddress;
};

// Sends the current chunk as a ProgramChunk or VerifyChunk frame.
void sendChunk(Link& link, std::uint16_t code, const ChunkCursor& chunk);

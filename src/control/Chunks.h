#pragma once

#include "control/Session.h"
#include "link/Link.h"
#include "vtc880/FileCopy.h"

#include <cstdint>

namespace vtc880 {

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

// Waits up to three seconds for the reply to a chunk just sent. Polls back to back (each waits up to
// the read time-out for a byte) and pauses only after a poll that came back at once without a reply,
// so a reply is taken as it arrives and an answered chunk is followed by the next one at once.
// Programming and verifying wait alike: both requests carry up to 100 bytes, which take about 10 ms on
// the line at 115200 before the device can even begin to answer.
void awaitChunkReply(Session& session);

// Sends the current chunk as a ProgramChunk or VerifyChunk frame.
void sendChunk(Link& link, std::uint16_t code, const ChunkCursor& chunk);

} // namespace vtc880

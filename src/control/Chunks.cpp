#include "control/Chunks.h"

#include "link/ChunkPayload.h"
#include "vtc880/DeviceCodes.h"

#include <algorithm>
#include <chrono>

namespace vtc880 {

ChunkCursor::ChunkCursor(const FileBlock& block)
    : size(block.size), remaining(block.size), next(block.data.get()), wordAddress(block.address) {}

std::uint32_t ChunkCursor::length() const {
    return std::min(remaining, Chunk::maxBytes);
}

void ChunkCursor::advance() {
    const std::uint32_t len = length();
    remaining -= len;
    next += len;
    wordAddress += len / 2;
}

void sendChunk(Link& link, std::uint16_t code, const ChunkCursor& chunk) {
    ChunkPayload payload;
    const std::uint32_t size = buildChunkPayload(payload, chunk.address(), chunk.bytes(), chunk.length());
    link.send(code, size, payload.data());
}

void awaitChunkReply(Session& s) {
    Link& link = s.link;
    const auto start = s.clock.now();
    float elapsed = 0;
    do {
        const auto pollStart = s.clock.now();
        link.extract();
        const auto now = s.clock.now();
        elapsed = std::chrono::duration<float>(now - start).count();
        // An empty poll has waited out its read time-out already; a pause after it would only delay
        // a reply arriving meanwhile. A poll back at once without one gets the pause, so that the
        // wait never spins; a line that has gone ends the wait at once.
        if (!link.commandReady && now - pollStart < pollWait(PollWait::chunk)) {
            s.clock.sleepMs(1);
        }
    } while (!link.commandReady && elapsed < float(Limits::chunkReplySeconds) && !s.over());
}

} // namespace vtc880

#include "control/Chunks.h"

#include "link/ChunkPayload.h"
#include "link/DeviceCodes.h"

#include <algorithm>
#include <chrono>

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
        link.extract();
        elapsed = std::chrono::duration<float>(s.clock.now() - start).count();
        if (!link.commandReady()) {
            s.clock.sleepMs(1);
        }
    } while (!link.commandReady() && elapsed < float(Limits::chunkReplySeconds) && !s.cancelled());
}

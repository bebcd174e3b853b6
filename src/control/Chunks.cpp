#include "control/Chunks.h"

#include "link/DeviceCodes.h"
#include "link/LittleEndian.h"

#include <algorithm>
#include <cstring>

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
    std::uint8_t payload[Chunk::maxPayload];
    const std::uint32_t len = chunk.length();
    le::put32(payload + Chunk::addressOffset, chunk.address());
    le::put32(payload + Chunk::countOffset, len);
    std::memcpy(payload + Chunk::bytesOffset, chunk.bytes(), len);
    link.send(code, Chunk::bytesOffset + len, payload);
}

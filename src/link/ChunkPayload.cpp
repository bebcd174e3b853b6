#include "link/ChunkPayload.h"

#include "vtc880/LittleEndian.h"

#include <algorithm>

namespace vtc880 {

std::uint32_t buildChunkPayload(ChunkPayload& payload, std::uint32_t wordAddress, const std::uint8_t* bytes,
                                std::uint32_t count) {
    if (count == 0 || count > Chunk::maxBytes || bytes == nullptr)
        return 0;
    le::put32(&payload[Chunk::addressOffset], wordAddress);
    le::put32(&payload[Chunk::countOffset], count);
    std::copy_n(bytes, count, &payload[Chunk::bytesOffset]);
    return Chunk::bytesOffset + count;
}

} // namespace vtc880

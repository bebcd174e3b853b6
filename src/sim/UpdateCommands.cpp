#include "sim/UpdateCommands.h"

#include "sim/ReplyFrame.h"
#include "vtc880/DeviceCodes.h"
#include "vtc880/LittleEndian.h"

using namespace vtc880;

namespace sim {

namespace {

Action ack(std::vector<std::uint8_t> data = {}) {
    return Action{replyFrame(Reply::Ack, data)};
}

Action error() {
    return Action{replyFrame(Reply::ErrorReply)};
}

} // namespace

std::optional<UpdateCommands::ChunkPayload> UpdateCommands::chunkOf(const std::vector<std::uint8_t>& data) {
    if (data.size() < Chunk::bytesOffset)
        return std::nullopt;
    const std::uint32_t count = le::get32(&data[Chunk::countOffset]);
    if (count == 0 || count > Chunk::maxBytes || count != data.size() - Chunk::bytesOffset)
        return std::nullopt;
    const std::uint64_t wordAddress = le::get32(&data[Chunk::addressOffset]);
    return ChunkPayload{2 * wordAddress, &data[Chunk::bytesOffset], count};
}

Action UpdateCommands::handle(std::uint16_t code, const std::vector<std::uint8_t>& data) {
    switch (code) {
    case Code::Handshake:
        return ack();
    case Code::EraseTimeQuery: {
        std::vector<std::uint8_t> time(4);
        le::put32(time.data(), std::uint32_t(config_.eraseTimeMs));
        if (config_.shortEraseTimeAck)
            time.resize(2);
        return ack(time);
    }
    case Code::EraseAll: {
        const std::int32_t actual = config_.eraseActualMs >= 0 ? config_.eraseActualMs : config_.eraseTimeMs;
        Action action = config_.errorOnErase ? error() : ack();
        if (!config_.errorOnErase)
            flash_.eraseAll();
        action.busyMs = actual > 0 ? actual : 0;
        return action;
    }
    case Code::ProgramChunk:
        return programChunk(data);
    case Code::VerifyChunk:
        return verifyChunk(data);
    case Code::Finish:
        if (data.size() == 1 && data[0] == finishSelector)
            return Action{std::nullopt, 0, true};
        return error();
    default:
        return error();
    }
}

Action UpdateCommands::programChunk(const std::vector<std::uint8_t>& data) {
    const int index = programFrames_++;
    if (config_.hangUpAfterChunks >= 0 && chunksProgrammed_.load() >= config_.hangUpAfterChunks)
        return Action{std::nullopt, 0, false, true};
    if (index == config_.errorOnChunk)
        return error();
    const std::optional<ChunkPayload> chunk = chunkOf(data);
    if (!chunk)
        return error();
    std::vector<std::uint8_t> stored(chunk->bytes, chunk->bytes + chunk->count);
    if (index == config_.corruptChunk)
        stored[0] ^= 0x01; // a cell that does not hold; the reply does not tell
    if (!flash_.program(chunk->byteAddress, stored.data(), chunk->count))
        return error();
    chunksProgrammed_.fetch_add(1);
    return ack();
}

Action UpdateCommands::verifyChunk(const std::vector<std::uint8_t>& data) {
    const std::optional<ChunkPayload> chunk = chunkOf(data);
    if (!chunk || !flash_.equals(chunk->byteAddress, chunk->bytes, chunk->count))
        return error();
    return ack();
}

} // namespace sim

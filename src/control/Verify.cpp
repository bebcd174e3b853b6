#include "control/Verify.h"

#include "control/Chunks.h"
#include "control/Handshake.h"
#include "vtc880/DeviceCodes.h"

namespace vtc880 {

namespace {

// Compares one block; true when every chunk was answered and none with ErrorReply. `whole` counts the
// bytes of the whole image, of which the blocks before this one are done.
bool verifyBlock(Session& s, const FileBlock& block, int index, PhaseProgress& whole) {
    Link& link = s.link;
    const std::uint64_t before = whole.done;
    whole.block = index;
    whole.blockDone = 0;
    whole.blockSize = block.size;
    s.observer.progress(whole);
    for (ChunkCursor chunk(block); !chunk.done();) {
        if (s.cancelled()) {
            return false;
        }
        sendChunk(link, Code::VerifyChunk, chunk);
        link.commandReady = false;
        awaitChunkReply(s);
        if (!link.commandReady || link.command == Reply::ErrorReply) {
            if (!s.over()) {
                s.progress.verifyRefused(
                    {index, chunk.address(), chunk.sent(), chunk.length(), link.commandReady});
            }
            return false;
        }
        s.progress.verified(chunk.length());
        chunk.advance();
        whole.blockDone = chunk.sent();
        whole.done = before + chunk.sent();
        s.observer.progress(whole);
        s.pause(1);
    }
    return true;
}

VerifyResult verify(Session& s, const FileCopy& image) {
    s.link.purge();
    s.log(RunStep::connecting);
    if (!handshake(s)) {
        s.log(RunStep::timedOut);
        return VerifyResult::handshakeFailed;
    }
    PhaseProgress whole{Phase::verify, 0, image.totalSize(), 0, image.count};
    for (int b = 0; b < image.count; ++b) {
        if (!verifyBlock(s, image.blocks[b], b, whole)) {
            s.log(RunStep::verifyFailed);
            return VerifyResult::differs;
        }
        s.log(RunStep::blockVerified);
    }
    return VerifyResult::passed;
}

} // namespace

VerifyResult verifyImage(Session& s, const FileCopy& image) {
    s.enter(Phase::verify);
    const VerifyResult result = verify(s, image);
    s.leave(Phase::verify);
    return result;
}

} // namespace vtc880

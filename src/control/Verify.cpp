#include "control/Verify.h"

#include "control/Chunks.h"
#include "control/Handshake.h"
#include "link/DeviceCodes.h"
#include "text/Format.h"

namespace vtc880 {

namespace {

// Compares one block; true when every chunk was answered and none with ErrorReply. `whole` counts the
// bytes of the whole image, of which the blocks before this one are done.
bool verifyBlock(Session& s, const FileBlock& block, int index, PhaseProgress& whole) {
    Link& link = s.link;
    const unsigned long long sizeKo = block.size >> 10;
    s.sinks.setStatusText(formatText("Verifying 0ko / %lluko", sizeKo));
    s.sinks.showStatus();
    s.sinks.setProgressMaximum(toProgress(block.size));
    s.sinks.setProgressValue(0);
    const std::uint64_t before = whole.done;
    whole.block = index;
    s.sinks.phaseProgress(whole);
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
        s.sinks.setStatusText(
            formatText("Verifying %lluko / %lluko", (unsigned long long)(chunk.sent() >> 10), sizeKo));
        s.sinks.setProgressValue(toProgress(chunk.sent()));
        whole.done = before + chunk.sent();
        s.sinks.phaseProgress(whole);
        s.pause(1);
        s.sinks.repaint();
    }
    return true;
}

} // namespace

VerifyResult verifyImage(Session& s, const FileCopy& image) {
    s.enter(Phase::verify);
    s.link.purge();
    s.sinks.setStatusText("Connecting to VTC880 ...");
    if (!handshake(s)) {
        s.sinks.setStatusText("Communication time out !");
        return VerifyResult::handshakeFailed;
    }
    PhaseProgress whole{Phase::verify, 0, image.totalSize(), 0, image.count};
    for (int b = 0; b < image.count; ++b) {
        if (!verifyBlock(s, image.blocks[b], b, whole)) {
            s.sinks.setStatusText("Verification failed");
            return VerifyResult::differs;
        }
        s.sinks.setStatusText("Verification passed");
    }
    return VerifyResult::passed;
}

} // namespace vtc880

#include "control/Download.h"

#include "control/Chunks.h"
#include "control/Erase.h"
#include "control/Format.h"
#include "control/Handshake.h"
#include "control/Verify.h"
#include "link/DeviceCodes.h"

#include <chrono>

namespace {

const char* const idleTitle = " VTC880 - Firmware Update";

bool accepted(const Link& link) {
    return link.commandReady() && link.command() != Reply::ErrorReply;
}

void reportFailure(Session& s) {
    s.sinks.setStatusText("Firmware update failed !");
    s.message("Firmware update failed !", "Error", MessageIcon::error);
}

} // namespace

Outcome programImage(Session& s, const FileCopy& image) {
    Link& link = s.link;
    Outcome failure = Outcome::succeeded;
    link.purge();
    if (!handshake(s)) {
        s.sinks.setStatusText("Communication time out !");
        failure = Outcome::noAnswer;
    }
    bool failed = failure != Outcome::succeeded;

    const std::uint64_t total = image.totalSize();
    const unsigned long long totalKo = total >> 10;
    std::uint64_t sent = 0;
    s.sinks.setProgressMaximum(toProgress(total));
    s.sinks.setProgressValue(0);

    for (int b = 0; b < image.count && !failed; ++b) {
        const FileBlock& block = image.blocks[b];
        s.sinks.setStatusText(formatText("Copying 0ko / %lluko  (100%%)", totalKo));
        s.sinks.showStatus();
        bool blockOk = true;
        for (ChunkCursor chunk(block); !chunk.done();) {
            // A device that answers at once never makes the reply wait see a stop request.
            if (s.cancelled()) {
                blockOk = false;
                break;
            }
            sendChunk(link, Code::ProgramChunk, chunk);
            link.setCommandReady(false);
            awaitChunkReply(s);
            if (!accepted(link)) {
                blockOk = false;
                break;
            }
            chunk.advance();
            const std::uint64_t done = sent + chunk.sent();
            const int pct = int(double(done) * 100.0 / double(total));
            s.sinks.setStatusText(formatText("Copying %lluko / %lluko  (%d%%)",
                                             (unsigned long long)(done >> 10), totalKo, pct));
            s.sinks.setTitle(formatText(" [%d%%] VTC880 - Firmware Update", pct));
            s.sinks.setProgressValue(toProgress(done));
            s.sinks.repaint();
        }
        sent += block.size;
        if (blockOk) {
            s.sinks.setStatusText("Firmware updated");
        } else {
            reportFailure(s);
            failed = true;
            failure = Outcome::programFailed;
        }
    }
    s.sinks.setTitle(idleTitle);
    return s.cancelled() ? Outcome::cancelled : failure;
}

void finishUpdate(Session& s) {
    s.link.send(Code::Finish, 1, &finishSelector);
}

void reportUnreadableImage(Session& s) {
    s.sinks.setStatusText("Coult not open firmware file !");
    s.message("Coult not open firmware file !", "File error", MessageIcon::error);
}

Outcome downloadImage(Session& s, const FileCopy& image, bool verifyBeforeFinish) {
    // Programming over a failed erase could leave corrupted firmware reported as updated.
    const EraseResult erase = eraseDevice(s);
    if (s.cancelled()) {
        return Outcome::cancelled;
    }
    if (erase != EraseResult::erased) {
        s.message("Firmware update failed !", "Error", MessageIcon::error);
        s.sinks.setTitle(idleTitle);
        return outcomeOf(erase);
    }
    const Outcome programmed = programImage(s, image);
    if (programmed != Outcome::succeeded) {
        return programmed;
    }
    if (verifyBeforeFinish) {
        const Outcome verified = outcomeOf(verifyImage(s, image));
        if (s.cancelled()) {
            return Outcome::cancelled;
        }
        if (verified != Outcome::succeeded) {
            return verified;
        }
    }
    finishUpdate(s);
    return Outcome::succeeded;
}

#include "control/Download.h"

#include "control/Chunks.h"
#include "control/Erase.h"
#include "control/Handshake.h"
#include "control/Verify.h"
#include "link/DeviceCodes.h"
#include "text/Format.h"

#include <filesystem>

namespace vtc880 {

namespace {

const char* const idleTitle = " VTC880 - Firmware Update";

bool accepted(const Link& link) {
    return link.commandReady && link.command != Reply::ErrorReply;
}

void reportFailure(Session& s) {
    s.sinks.setStatusText("Firmware update failed !");
    s.message("Firmware update failed !", "Error", MessageIcon::error);
}

} // namespace

Outcome programImage(Session& s, const FileCopy& image) {
    Link& link = s.link;
    s.enter(Phase::programming);
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
    PhaseProgress programming{Phase::programming, 0, total, 0, image.count};

    for (int b = 0; b < image.count && !failed; ++b) {
        const FileBlock& block = image.blocks[b];
        programming.done = sent;
        programming.block = b;
        s.sinks.phaseProgress(programming);
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
            link.commandReady = false;
            awaitChunkReply(s);
            if (!accepted(link)) {
                blockOk = false;
                break;
            }
            s.progress.chunkAcknowledged(chunk.address(), chunk.length());
            chunk.advance();
            const std::uint64_t done = sent + chunk.sent();
            const int pct = int(double(done) * 100.0 / double(total));
            s.sinks.setStatusText(formatText("Copying %lluko / %lluko  (%d%%)",
                                             (unsigned long long)(done >> 10), totalKo, pct));
            s.sinks.setTitle(formatText(" [%d%%] VTC880 - Firmware Update", pct));
            s.sinks.setProgressValue(toProgress(done));
            programming.done = done;
            s.sinks.phaseProgress(programming);
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
    if (!failed) {
        s.progress.allProgrammed();
    }
    return failureOf(s, failure);
}

void finishUpdate(Session& s) {
    s.enter(Phase::finish);
    s.link.send(Code::Finish, 1, &finishSelector);
    if (!s.link.lost()) {
        s.progress.finishSent();
    }
}

void reportUnreadableImage(Sinks& sinks, const std::string& path, const std::string& problem) {
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error);
    sinks.setStatusText("Coult not open firmware file !");
    Message box;
    box.text = "Coult not open firmware file !";
    box.caption = "File error";
    box.icon = MessageIcon::error;
    box.detail = (error || path.empty() ? path : full.string()) + ": " + problem;
    sinks.messageBox(box);
}

Outcome downloadImage(Session& s, const FileCopy& image, bool verifyBeforeFinish) {
    // Programming over a failed erase could leave corrupted firmware reported as updated.
    const EraseResult erase = eraseDevice(s);
    if (erase != EraseResult::erased) {
        const Outcome failure = failureOf(s, outcomeOf(erase));
        if (failure != Outcome::cancelled) {
            s.message("Firmware update failed !", "Error", MessageIcon::error);
        }
        s.sinks.setTitle(idleTitle);
        return failure;
    }
    if (s.cancelled()) {
        return Outcome::cancelled;
    }
    const Outcome programmed = programImage(s, image);
    if (programmed != Outcome::succeeded) {
        return programmed;
    }
    if (verifyBeforeFinish) {
        const Outcome verified = failureOf(s, outcomeOf(verifyImage(s, image)));
        if (verified != Outcome::succeeded) {
            return verified;
        }
        if (s.cancelled()) {
            return Outcome::cancelled;
        }
    }
    finishUpdate(s);
    return s.link.lost() ? Outcome::portLost : Outcome::succeeded;
}

} // namespace vtc880

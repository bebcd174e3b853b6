#include "control/Download.h"

#include "control/Chunks.h"
#include "control/Erase.h"
#include "control/Failure.h"
#include "control/Handshake.h"
#include "control/Verify.h"
#include "vtc880/DeviceCodes.h"

#include <filesystem>

namespace vtc880 {

namespace {

bool accepted(const Link& link) {
    return link.commandReady && link.command != Reply::ErrorReply;
}

Outcome program(Session& s, const FileCopy& image) {
    Link& link = s.link;
    Outcome failure = Outcome::succeeded;
    link.purge();
    if (!handshake(s)) {
        s.log(RunStep::timedOut);
        failure = Outcome::noAnswer;
    }
    bool failed = failure != Outcome::succeeded;

    std::uint64_t sent = 0;
    PhaseProgress programming{Phase::programming, 0, image.totalSize(), -1, image.count};
    s.observer.progress(programming);

    for (int b = 0; b < image.count && !failed; ++b) {
        const FileBlock& block = image.blocks[b];
        programming.done = sent;
        programming.block = b;
        programming.blockDone = 0;
        programming.blockSize = block.size;
        s.observer.progress(programming);
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
            programming.blockDone = chunk.sent();
            programming.done = sent + chunk.sent();
            s.observer.progress(programming);
        }
        sent += block.size;
        if (blockOk) {
            s.log(RunStep::blockProgrammed);
        } else {
            s.log(RunStep::programmingFailed);
            s.problem(RunProblem::Kind::updateFailed, Phase::programming);
            failed = true;
            failure = Outcome::programmingFailed;
        }
    }
    if (!failed) {
        s.progress.allProgrammed();
    }
    return failureOf(s, failure);
}

} // namespace

Outcome programImage(Session& s, const FileCopy& image) {
    s.enter(Phase::programming);
    const Outcome result = program(s, image);
    s.leave(Phase::programming);
    return result;
}

void finishUpdate(Session& s) {
    s.enter(Phase::finish);
    s.link.send(Code::Finish, 1, &finishSelector);
    if (!s.link.lost()) {
        s.progress.finishSent();
    }
    s.leave(Phase::finish);
}

void reportUnreadableImage(RunObserver& observer, const std::string& path, const std::string& problem) {
    std::error_code error;
    const std::filesystem::path full = std::filesystem::absolute(path, error);
    RunProblem told;
    told.kind = RunProblem::Kind::imageUnreadable;
    told.detail = (error || path.empty() ? path : full.string()) + ": " + problem;
    observer.problem(told);
}

Outcome downloadImage(Session& s, const FileCopy& image, bool verifyBeforeFinish) {
    // Programming over a failed erase could leave corrupted firmware reported as updated.
    const EraseResult erase = eraseDevice(s);
    if (erase != EraseResult::erased) {
        const Outcome failure = failureOf(s, outcomeOf(erase));
        if (failure != Outcome::interrupted) {
            s.problem(RunProblem::Kind::updateFailed, Phase::erase);
        }
        return failure;
    }
    if (s.cancelled()) {
        return Outcome::interrupted;
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
            return Outcome::interrupted;
        }
    }
    finishUpdate(s);
    return s.link.lost() ? Outcome::portLost : Outcome::succeeded;
}

} // namespace vtc880

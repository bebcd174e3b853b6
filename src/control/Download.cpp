#include "control/Download.h"

#include "control/Chunks.h"
#include "control/Erase.h"
#include "control/Format.h"
#include "control/Handshake.h"
#include "link/DeviceCodes.h"

#include <chrono>

namespace {

const char* const idleTitle = " VTC880 - Firmware Update";

// Waits up to three seconds for the reply to a chunk. Pauses between polls only while nothing has
// come, so an answered chunk is followed by the next one at once.
void awaitChunkReply(Session& s, std::chrono::steady_clock::duration start) {
    Link& link = s.link;
    float elapsed = 0;
    do {
        link.extract();
        elapsed = std::chrono::duration<float>(s.clock.now() - start).count();
        if (!link.commandReady()) {
            s.clock.sleepMs(1);
        }
    } while (!link.commandReady() && elapsed < float(Limits::chunkReplySeconds) && !s.cancelled());
}

bool accepted(const Link& link) {
    return link.commandReady() && link.command() != Reply::ErrorReply;
}

void reportFailure(Session& s) {
    s.sinks.setStatusText("Firmware update failed !");
    s.message("Firmware update failed !", "Error", MessageIcon::error);
}

} // namespace

bool programImage(Session& s, const FileCopy& image) {
    Link& link = s.link;
    bool failed = false;
    link.purge();
    if (!handshake(s)) {
        s.sinks.setStatusText("Communication time out !");
        failed = true;
    }

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
            sendChunk(link, Code::ProgramChunk, chunk);
            link.setCommandReady(false);
            awaitChunkReply(s, s.clock.now());
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
        }
    }
    s.sinks.setTitle(idleTitle);
    return !failed && !s.cancelled();
}

void finishUpdate(Session& s) {
    s.link.send(Code::Finish, 1, &finishSelector);
}

void reportUnreadableImage(Session& s) {
    s.sinks.setStatusText("Coult not open firmware file !");
    s.message("Coult not open firmware file !", "File error", MessageIcon::error);
}

bool downloadImage(Session& s, const FileCopy& image) {
    // Programming over a failed erase could leave corrupted firmware reported as updated.
    if (eraseDevice(s) != EraseResult::erased) {
        s.message("Firmware update failed !", "Error", MessageIcon::error);
        s.sinks.setTitle(idleTitle);
        return false;
    }
    if (!programImage(s, image)) {
        return false;
    }
    finishUpdate(s);
    return true;
}

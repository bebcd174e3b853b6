#include "control/Erase.h"

#include "control/Handshake.h"
#include "link/DeviceCodes.h"
#include "link/LittleEndian.h"
#include "text/Format.h"

namespace vtc880 {

namespace {

// Polls with no pause in between until a frame completes or `polls` polls are used.
void pollFor(Session& s, int polls) {
    int n = 0;
    do {
        s.link.extract(pollWait(PollWait::reply));
        ++n;
    } while (!s.link.commandReady && n < polls && !s.over());
}

bool validEraseTime(const Link& link) {
    return link.commandReady && link.command == Reply::Ack && link.dataSize >= 4;
}

} // namespace

std::int32_t usableEraseTime(std::int32_t announcedMs) {
    if (announcedMs < 0) {
        return 0;
    }
    return announcedMs > Limits::eraseCeilingMs ? Limits::eraseCeilingMs : announcedMs;
}

EraseResult eraseDevice(Session& s) {
    Link& link = s.link;
    s.enter(Phase::erase);
    s.sinks.setStatusText("");
    s.sinks.setProgressValue(0);
    link.purge();
    s.sinks.setStatusText("Connection to VTC880 ...");
    if (!handshake(s)) {
        s.sinks.setStatusText("Communication time out !");
        return EraseResult::handshakeFailed;
    }

    // A stop request seen now still leaves the device as it was; once EraseAll is out it is too late.
    if (s.cancelled()) {
        return EraseResult::handshakeFailed;
    }
    s.sinks.setStatusText("Calculating erase time ...");
    link.commandReady = false;
    link.send(Code::EraseTimeQuery, 0, nullptr);
    pollFor(s, Limits::eraseTimePolls);
    if (!validEraseTime(link)) {
        s.sinks.setStatusText("Communication time out !");
        return EraseResult::noEraseTime;
    }

    if (s.cancelled()) {
        return EraseResult::noEraseTime;
    }
    const std::int32_t eraseMs = usableEraseTime(std::int32_t(le::get32(link.data.get())));
    s.sinks.setStatusText("Erasing (" + oneDecimal(eraseMs / 1000.0) + " seconds) ...");
    s.sinks.setProgressMaximum(eraseMs);
    s.sinks.setProgressValue(0);
    PhaseProgress erasing{Phase::erase, 0, std::uint64_t(eraseMs)};
    s.sinks.phaseProgress(erasing);
    const std::uint32_t t0 = s.clock.tickCount();
    link.commandReady = false;
    link.send(Code::EraseAll, 0, nullptr);
    s.progress.eraseSent();

    // Bounded by polls, not by the clock: roughly the announced time plus five seconds of silence.
    // The progress bar follows the clock and stops once the announced time has passed.
    const std::int32_t pollLimit = eraseMs + Limits::eraseExtraPolls;
    std::int32_t n = 0;
    do {
        link.extract();
        ++n;
        const std::uint32_t elapsed = s.clock.tickCount() - t0; // right across a wrap of the count
        if (elapsed < std::uint32_t(eraseMs)) {
            s.sinks.setProgressValue(std::int32_t(elapsed));
            if (elapsed != erasing.done) { // once a millisecond, not once a poll
                erasing.done = elapsed;
                s.sinks.phaseProgress(erasing);
            }
        }
    } while (!link.commandReady && n < pollLimit && !s.over());

    if (link.commandReady && link.command != Reply::ErrorReply) {
        s.progress.eraseAcknowledged();
        erasing.done = erasing.total;
        s.sinks.phaseProgress(erasing);
        s.sinks.setStatusText("Firmware erased");
        return EraseResult::erased;
    }
    s.sinks.setStatusText("Erasing failed !");
    return EraseResult::eraseFailed;
}

} // namespace vtc880

#include "control/Erase.h"

#include "control/Handshake.h"
#include "vtc880/DeviceCodes.h"
#include "vtc880/LittleEndian.h"

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

namespace {

EraseResult erase(Session& s) {
    Link& link = s.link;
    link.purge();
    s.log(RunStep::handshaking);
    if (!handshake(s)) {
        s.log(RunStep::timedOut);
        return EraseResult::handshakeFailed;
    }

    // A stop request seen now still leaves the device as it was; once EraseAll is out it is too late.
    if (s.cancelled()) {
        return EraseResult::handshakeFailed;
    }
    s.log(RunStep::askingEraseTime);
    link.commandReady = false;
    link.send(Code::EraseTimeQuery, 0, nullptr);
    pollFor(s, Limits::eraseTimePolls);
    if (!validEraseTime(link)) {
        s.log(RunStep::timedOut);
        return EraseResult::noEraseTime;
    }

    if (s.cancelled()) {
        return EraseResult::noEraseTime;
    }
    const std::int32_t eraseMs = usableEraseTime(std::int32_t(le::get32(link.data.get())));
    s.observer.log(RunLog{RunStep::erasing, eraseMs});
    PhaseProgress erasing{Phase::erase, 0, std::uint64_t(eraseMs)};
    s.observer.progress(erasing);
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
        // At every poll: the time is the progress.
        if (elapsed < std::uint32_t(eraseMs)) {
            erasing.done = elapsed;
            s.observer.progress(erasing);
        }
    } while (!link.commandReady && n < pollLimit && !s.over());

    if (link.commandReady && link.command != Reply::ErrorReply) {
        s.progress.eraseAcknowledged();
        erasing.done = erasing.total;
        s.observer.progress(erasing);
        s.log(RunStep::erased);
        return EraseResult::erased;
    }
    s.log(RunStep::eraseFailed);
    return EraseResult::eraseFailed;
}

} // namespace

EraseResult eraseDevice(Session& s) {
    s.enter(Phase::erase);
    const EraseResult result = erase(s);
    s.leave(Phase::erase);
    return result;
}

} // namespace vtc880

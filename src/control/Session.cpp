#include "control/Session.h"

#include "link/DeviceCodes.h"

#include <algorithm>
#include <limits>

namespace {
const std::atomic<bool> neverCancelled{false};
constexpr int pauseSliceMs = 50;
} // namespace

Session::Session(Link& link, Sinks& sinks, Clock& clock, const std::atomic<bool>& cancel)
    : link(link), sinks(sinks), clock(clock), cancel(cancel) {}

Session::Session(Link& link, Sinks& sinks, Clock& clock) : Session(link, sinks, clock, neverCancelled) {}

void Session::pause(int milliseconds) {
    while (milliseconds > 0 && !cancelled()) {
        const int slice = std::min(milliseconds, pauseSliceMs);
        clock.sleepMs(slice);
        milliseconds -= slice;
    }
}

void Session::message(const std::string& text, const std::string& caption, MessageIcon icon) {
    if (cancelled()) {
        return;
    }
    Message box;
    box.text = text;
    box.caption = caption;
    box.icon = icon;
    sinks.messageBox(box);
}

std::int32_t toProgress(std::uint64_t value) {
    constexpr auto most = std::uint64_t(std::numeric_limits<std::int32_t>::max());
    return std::int32_t(std::min(value, most));
}

ReplyPolls::ReplyPolls(Link& link) : link(link) {
    link.setPollTimeout(Limits::replyPollTimeoutMs);
}

ReplyPolls::~ReplyPolls() {
    link.setPollTimeout(Limits::pollTimeoutMs);
}

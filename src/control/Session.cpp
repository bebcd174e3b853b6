#include "control/Session.h"

#include "control/DeviceStateText.h"

#include <algorithm>
#include <limits>

namespace vtc880 {

namespace {
constexpr int pauseSliceMs = 50;
} // namespace

Session::Session(Link& link, Sinks& sinks, Clock& clock, std::function<bool()> stopRequested,
                 RunProgress& progress)
    : link(link), sinks(sinks), clock(clock), progress(progress), stopRequested(std::move(stopRequested)) {}

Session::Session(Link& link, Sinks& sinks, Clock& clock, const std::atomic<bool>& cancel)
    : link(link), sinks(sinks), clock(clock), progress(ownProgress),
      stopRequested([&cancel] { return cancel.load(); }) {}

Session::Session(Link& link, Sinks& sinks, Clock& clock)
    : link(link), sinks(sinks), clock(clock), progress(ownProgress), stopRequested([] { return false; }) {}

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
    box.detail = firmwareAtRiskText(progress.report().device);
    sinks.messageBox(box);
}

void Session::enter(Phase phase) {
    progress.enter(phase, clock.now());
    sinks.enterPhase(phase);
}

std::int32_t toProgress(std::uint64_t value) {
    constexpr auto most = std::uint64_t(std::numeric_limits<std::int32_t>::max());
    return std::int32_t(std::min(value, most));
}

} // namespace vtc880

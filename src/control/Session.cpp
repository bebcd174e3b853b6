#include "control/Session.h"

#include "vtc880/DeviceStateText.h"

#include <algorithm>

namespace vtc880 {

namespace {
constexpr int pauseSliceMs = 50;
} // namespace

Session::Session(Link& link, RunObserver& observer, Clock& clock, std::function<bool()> stopRequested,
                 RunProgress& progress)
    : link(link), observer(observer), clock(clock), progress(progress),
      stopRequested(std::move(stopRequested)) {}

Session::Session(Link& link, RunObserver& observer, Clock& clock, const std::atomic<bool>& cancel)
    : link(link), observer(observer), clock(clock), progress(ownProgress),
      stopRequested([&cancel] { return cancel.load(); }) {}

Session::Session(Link& link, RunObserver& observer, Clock& clock)
    : link(link), observer(observer), clock(clock), progress(ownProgress),
      stopRequested([] { return false; }) {}

void Session::pause(int milliseconds) {
    while (milliseconds > 0 && !cancelled()) {
        const int slice = std::min(milliseconds, pauseSliceMs);
        clock.sleepMs(slice);
        milliseconds -= slice;
    }
}

void Session::problem(RunProblem::Kind kind, Phase phase) {
    if (cancelled()) {
        return;
    }
    RunProblem told;
    told.kind = kind;
    told.phase = phase;
    told.detail = firmwareAtRiskText(progress.report().device);
    observer.problem(told);
}

void Session::enter(Phase phase) {
    progress.enter(phase, clock.now());
    observer.phase(phase);
}

} // namespace vtc880

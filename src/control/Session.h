#pragma once

#include "link/Link.h"
#include "vtc880/Clock.h"
#include "vtc880/Phase.h"
#include "vtc880/RunObserver.h"
#include "vtc880/RunProgress.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace vtc880 {

// What one worker run works with: the open link, where it reports, the time source, the stop request,
// and the record of what the device has acknowledged. Every wait of a worker checks the stop request
// at each poll or pause slice, so a run ends within one poll once it is made.
class Session {
  public:
    Session(Link& link, RunObserver& observer, Clock& clock, std::function<bool()> stopRequested,
            RunProgress& progress);
    Session(Link& link, RunObserver& observer, Clock& clock, const std::atomic<bool>& cancel); // own progress
    Session(Link& link, RunObserver& observer, Clock& clock); // never cancelled
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    Link& link;
    RunObserver& observer;
    Clock& clock;

  private:
    RunProgress ownProgress; // for a session that nobody else follows

  public:
    RunProgress& progress;

    bool cancelled() const { return stopRequested(); }
    // The run can go no further: asked to stop, or the port has gone.
    bool over() const { return cancelled() || link.lost(); }

    // A pause that ends early once the run is cancelled.
    void pause(int milliseconds);
    // A failure to tell a person, unless the run is cancelled: then nobody is left to be told. Once the
    // device's firmware has been touched, its detail says what the device now holds.
    void problem(RunProblem::Kind kind, Phase phase);
    void log(RunStep step) { observer.log(RunLog{step}); }
    // The run moves on to `phase`, and is done with it.
    void enter(Phase phase);
    void leave(Phase phase) { observer.phaseEnded(phase); }

  private:
    std::function<bool()> stopRequested;
};

} // namespace vtc880

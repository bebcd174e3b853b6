#pragma once

#include "vtc880/DeviceCodes.h"
#include "vtc880/LinkTable.h"
#include "vtc880/Operation.h"
#include "vtc880/Phase.h"
#include "vtc880/RunObserver.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <vector>

namespace vtc880 {

// What a run will do, as far as its progress is concerned.
struct RunPlan {
    Operation operation = Operation::update;
    bool speedSwitch = true;
    bool verify = false;                // an update compares the whole image before Finish
    LinkKind link = links.front().kind; // how the device is attached: its speed before the switch
    std::uint64_t imageBytes = 0;
    int blocks = 0;
    std::int32_t lineSpeed = Speed::update; // of the conversation after the speed switch
};

// How far one device's run has got, from its phase and progress events, and how long the whole run
// still takes: the model behind a device's progress line (in `vtc880 update` and in a station).
// Times are those of the events. Used from one thread.
class DeviceProgress {
  public:
    using Clock = std::chrono::steady_clock;

    explicit DeviceProgress(RunPlan plan);

    void enter(Phase phase, Clock::time_point at);
    void advance(const PhaseProgress& progress, Clock::time_point at);

    const RunPlan& plan() const { return runPlan; }
    std::optional<Phase> phase() const { return current; }
    // The phase under way counts done of total (erase: milliseconds; programming, verify: bytes).
    bool measured() const { return hasMeasure; }
    const PhaseProgress& measure() const { return last; }
    int percent() const; // of the phase under way, 0 to 100
    // Of the phase under way (programming, verify), once it has run long enough to tell.
    std::optional<double> bytesPerSecond() const;
    // Of the whole run from `now`: the rest of this phase and every phase still to come. None while
    // a phase to come cannot be told yet (the erase, until the device announces its time).
    std::optional<double> secondsLeft(Clock::time_point now) const;

  private:
    std::vector<Phase> phases() const; // the phases of the plan, in order
    std::optional<double> rateOf(Phase phase) const;
    std::optional<double> secondsOf(Phase phase) const;      // the whole of a phase not yet begun
    std::optional<double> rest(Clock::time_point now) const; // of the phase under way

    RunPlan runPlan;
    std::optional<Phase> current;
    Clock::time_point phaseStart{};
    bool hasMeasure = false;
    PhaseProgress first; // of the phase under way: its first measure ...
    Clock::time_point firstAt{};
    PhaseProgress last; // ... and its latest
    Clock::time_point lastAt{};
    std::optional<double> programmingRate; // measured, for the verify that follows
};

} // namespace vtc880

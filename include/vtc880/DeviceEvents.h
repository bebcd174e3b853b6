#pragma once

#include "vtc880/RunObserver.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>

namespace vtc880 {

// What one device's run reported, as a value that can travel from its worker to the thread that
// shows it. Workers never print: they post events, and that thread takes them in order.
struct DeviceEvent {
    enum class Kind {
        phase,      // the run entered `phase`
        phaseEnded, // and is done with it
        progress,   // the phase under way moved on: `progress`
        log,        // a step in words: `log`
        problem,    // a failure to tell a person: `problem`
        done,       // the device's run has ended; its result is with the run
    };
    int device = 0;
    Kind kind = Kind::phase;
    Phase phase = Phase::speedSwitch;
    PhaseProgress progress;
    RunLog log;
    RunProblem problem;
    std::chrono::steady_clock::time_point at = std::chrono::steady_clock::now(); // when it was reported
};

class EventQueue {
  public:
    void push(DeviceEvent event);
    // Waits up to `timeout` for an event; false when none came.
    bool pop(DeviceEvent& event, std::chrono::milliseconds timeout);

  private:
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<DeviceEvent> events;
};

// One device's run as events on a queue. A problem returns at once: on a console nobody is there to
// dismiss a box; it is shown all the same.
class QueueObserver : public RunObserver {
  public:
    QueueObserver(EventQueue& queue, int device) : queue(queue), device(device) {}

    void phase(Phase phase) override;
    void phaseEnded(Phase phase) override;
    void progress(const PhaseProgress& progress) override;
    void log(const RunLog& log) override;
    void problem(const RunProblem& problem) override;

  private:
    EventQueue& queue;
    int device;
    DeviceEvent event(DeviceEvent::Kind kind) const;
};

} // namespace vtc880

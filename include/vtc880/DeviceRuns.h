#pragma once

#include "vtc880/Clock.h"
#include "vtc880/DeviceEvents.h"
#include "vtc880/RunResult.h"
#include "vtc880/UpdateRun.h"

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace vtc880 {

class JobRecorder;

// Several devices' runs at once, each on a thread of its own, with one result each and the exit
// status of them all. Their threads never print: what the runs report is handed over on the thread
// that calls pump(), in the order it happened, so a front end draws from one thread.
class DeviceRuns {
  public:
    // Told on the thread that calls pump().
    class Observer {
      public:
        virtual ~Observer() = default;
        // What device `event.device` (its index in the runs) reported.
        virtual void event(const DeviceEvent& event) = 0;
        // Its run has ended; `recordProblem` is why its record was not written, empty when it was.
        virtual void ended(std::size_t device, const RunResult& result, const std::string& recordProblem) = 0;
    };

    // `recorder`, when given, writes each device's record on its run's thread as the run ends; it must
    // outlive the runs.
    explicit DeviceRuns(std::vector<RunSettings> runs, const JobRecorder* recorder = nullptr,
                        Clock& clock = systemClock());
    ~DeviceRuns(); // stops the runs still going and waits for them
    DeviceRuns(const DeviceRuns&) = delete;
    DeviceRuns& operator=(const DeviceRuns&) = delete;

    // Starts every run. A run whose thread the system refuses ends at once as noWorker; the others run.
    void start();
    // Hands over what the runs reported, waiting up to `wait` for something. False once every run has
    // ended and its end was handed over.
    bool pump(Observer& observer, std::chrono::milliseconds wait);
    // Asks every run to stop at its next safe point (Ctrl-C): the status is then the interrupt's.
    void stop();

    const std::vector<RunResult>& results() const { return ended; }
    std::size_t succeeded() const;
    // 0 only when every run succeeded and every record was written. A failure's status is that of the
    // first run in the order given that failed, not of the first to fail in time, so that it does
    // not depend on which device was quicker; a record not written makes a success the file status.
    int exitStatus() const;

  private:
    std::vector<RunSettings> runs;
    const JobRecorder* recorder;
    Clock& clock;
    EventQueue queue;
    std::vector<std::unique_ptr<QueueObserver>> observers;
    std::vector<std::thread> threads;
    std::vector<RunResult> ended;            // each written by its run's thread before it posts its end
    std::vector<std::string> recordProblems; // likewise
    std::atomic<bool> stopping{false};
    std::size_t handedOver = 0;
    bool recordLost = false;
};

} // namespace vtc880

#pragma once

#include "vtc880/Clock.h"
#include "vtc880/Command.h"
#include "vtc880/DeviceCodes.h"
#include "vtc880/FileCopy.h"
#include "vtc880/LinkTable.h"
#include "vtc880/Operation.h"
#include "vtc880/Outcome.h"
#include "vtc880/RunResult.h"
#include "vtc880/Trace.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace vtc880 {

// What one run does. The first group is every run's; the second is the Command's own, taken by
// runDevice() when it makes one for the run (a window keeps its Command from press to press).
struct RunSettings {
    Operation operation = Operation::update;
    std::string port;                      // empty: the port the Command holds
    bool speedSwitch = true;               // the two speed commands and the pause before the connect
    bool verifyBeforeFinish = false;       // update: compare the whole image before Finish
    std::string imagePath;                 // read and checked before anything is sent ...
    std::shared_ptr<const FileCopy> image; // ... unless it was already (once for several devices)
    std::string imageName;                 // the image as the result names it; empty: by its figures only
    // The conversation's speed after the switch: 115200 on every link; other values for measurements.
    std::int32_t updateSpeed = Speed::update;

    LinkKind link = links.front().kind; // how the device is attached: its speed before the switch
    TraceHook trace;                    // told every byte and frame, when set
    // Set, a stop that holds only until the erase goes out (see Command::alsoStopBeforeTheEraseOn).
    const std::atomic<bool>* stopBeforeErase = nullptr;
};

// One press of "Update", whoever presses it (the window, the command-line tool, a station, a
// benchmark): the image read and checked, the speed switch from the link's speed, the port at 115200,
// the one-second pause, then the connect and the operation on one open link, with the stop request
// checked in every wait. Its result says how it ended and what the device now holds.
//
// start() runs on the caller's thread up to the start of the worker (about two seconds: the window's
// thread in the window); the worker then reports to the Command's observer. requestStop() may be
// called from any thread.
class UpdateRun {
  public:
    explicit UpdateRun(Command& command, Clock& clock = systemClock());

    // Up to the start of the worker. True when a worker runs; false when the run ended before (refused
    // image, a port that would not open, a stop request) or another run was still going.
    bool start(const RunSettings& settings);
    // start(), then waits for the worker: the whole run on the calling thread.
    RunResult perform(const RunSettings& settings);
    bool running() const { return command.busy(); }
    // How the last run ended, once it has (the worker's result includes the time of the speed switch).
    RunResult result() const;
    void requestStop();

  private:
    bool stopped() const { return stopRequest.load() || command.stopRequested(); }
    bool endBefore(Outcome outcome);
    void notePortFailure();
    void pause(int milliseconds);

    Command& command;
    Clock& clock;
    std::atomic<bool> stopRequest{false};
    bool workerStarted = false;
    RunSettings current; // of the run under way, or the last one
    std::shared_ptr<const FileCopy> image;
    RunResult early; // the result of a run that ended before its worker started
    std::chrono::steady_clock::duration switchTime{};
};

} // namespace vtc880

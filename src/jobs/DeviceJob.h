#pragma once

#include "control/Operation.h"
#include "control/Sinks.h"
#include "control/UpdateRun.h"
#include "image/FileCopy.h"
#include "jobs/DeviceProgress.h"
#include "link/Clock.h"
#include "link/Trace.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace vtc880 {

struct JobSettings {
    Operation operation = Operation::update;
    std::string port;                  // what the link opens
    std::int32_t initialSpeed = 19200; // the device's speed before the speed switch (by link kind)
    bool speedSwitch = true;
    bool verify = false;                         // update: compare the whole image before Finish
    std::string image;                           // the image file, read and checked by the run ...
    std::shared_ptr<const FileCopy> loadedImage; // ... unless the caller already did (once for all)
    TraceHook trace;                             // told every byte and frame, when set
    // Set, a stop that holds only until the erase goes out (see Command::alsoStopBeforeTheEraseOn).
    const std::atomic<bool>* stopBeforeErase = nullptr;
};

// How a job ended and what the device holds: the run's own result.
using JobResult = RunResult;

// What a job will do, as its progress is shown; the image's bytes and blocks once it is loaded.
RunPlan runPlanOf(const JobSettings& settings);

// One device's job, on the calling thread: one UpdateRun on a Command of its own, exactly the press of
// "Update" in the window. Setting `stop` stops it at its next safe point. Every pause, the job's own
// and its Command's, runs on `clock`; tests and benchmarks shorten them.
JobResult runJob(const JobSettings& settings, Sinks& sinks, const std::atomic<bool>& stop,
                 Clock& clock = systemClock());

} // namespace vtc880

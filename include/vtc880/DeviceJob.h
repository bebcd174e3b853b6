#pragma once

#include "vtc880/Clock.h"
#include "vtc880/DeviceProgress.h"
#include "vtc880/RunObserver.h"
#include "vtc880/UpdateRun.h"

#include <atomic>

namespace vtc880 {

// What a run will do, as its progress is shown; the image's bytes and blocks once it is loaded.
RunPlan runPlanOf(const RunSettings& settings);

// One device's run on the calling thread: one UpdateRun on a Command of its own, exactly the press of
// "Update" in the window, from the settings' initial speed. Setting `stop` stops it at its next safe
// point. Every pause, the run's own and its Command's, runs on `clock`; tests and benchmarks shorten
// them.
RunResult runDevice(const RunSettings& settings, RunObserver& observer, const std::atomic<bool>& stop,
                    Clock& clock = systemClock());

} // namespace vtc880

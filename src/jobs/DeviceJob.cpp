#include "vtc880/DeviceJob.h"

#include "vtc880/Command.h"

namespace vtc880 {

RunPlan runPlanOf(const RunSettings& settings) {
    RunPlan plan;
    plan.operation = settings.operation;
    plan.speedSwitch = settings.speedSwitch;
    plan.verify = settings.verifyBeforeFinish;
    plan.link = settings.link;
    if (settings.image) {
        plan.imageBytes = settings.image->totalSize();
        plan.blocks = settings.image->count;
    }
    return plan;
}

RunResult runDevice(const RunSettings& settings, RunObserver& observer, const std::atomic<bool>& stop,
                    Clock& clock) {
    Command command(settings.port, linkEntry(settings.link).initialSpeed, observer, clock);
    command.alsoStopOn(stop);
    command.traceTo(settings.trace);
    if (settings.stopBeforeErase != nullptr) {
        command.alsoStopBeforeTheEraseOn(*settings.stopBeforeErase);
    }
    UpdateRun run(command, clock);
    return run.perform(settings);
}

} // namespace vtc880

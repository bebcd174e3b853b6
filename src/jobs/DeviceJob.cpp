#include "jobs/DeviceJob.h"

#include "control/Command.h"

namespace vtc880 {

RunPlan runPlanOf(const JobSettings& settings) {
    RunPlan plan;
    plan.operation = settings.operation;
    plan.speedSwitch = settings.speedSwitch;
    plan.verify = settings.verify;
    plan.initialSpeed = settings.initialSpeed;
    if (settings.loadedImage) {
        plan.imageBytes = settings.loadedImage->totalSize();
        plan.blocks = settings.loadedImage->count;
    }
    return plan;
}

JobResult runJob(const JobSettings& settings, Sinks& sinks, const std::atomic<bool>& stop, Clock& clock) {
    Command command(settings.port, settings.initialSpeed, sinks, clock);
    command.alsoStopOn(stop);
    command.traceTo(settings.trace);
    if (settings.stopBeforeErase != nullptr) {
        command.alsoStopBeforeTheEraseOn(*settings.stopBeforeErase);
    }
    UpdateRun run(command, clock);
    RunSettings request;
    request.operation = settings.operation;
    request.speedSwitch = settings.speedSwitch;
    request.verifyBeforeFinish = settings.verify;
    request.imagePath = settings.image;
    request.image = settings.loadedImage;
    return run.perform(request);
}

} // namespace vtc880

#include "vtc880/UpdateRun.h"

#include "control/Download.h"
#include "vtc880/ImageCheck.h"
#include "vtc880/PortName.h"
#include "vtc880/ResultText.h"

#include <algorithm>

namespace vtc880 {

namespace {
constexpr int pauseSliceMs = 10;
constexpr int settleAfterSwitchMs = 1000; // the device takes its new speed
} // namespace

UpdateRun::UpdateRun(Command& command, Clock& clock) : command(command), clock(clock) {}

void UpdateRun::requestStop() {
    stopRequest = true;
    command.cancel();
}

void UpdateRun::pause(int milliseconds) {
    while (milliseconds > 0 && !stopped()) {
        const int slice = std::min(milliseconds, pauseSliceMs);
        clock.sleepMs(slice);
        milliseconds -= slice;
    }
}

void UpdateRun::notePortFailure() {
    early.openError = command.openError();
    early.openSystemError = command.openSystemError();
    early.portDetail = command.openErrorDetail();
    early.portBrief = command.openErrorBrief();
}

bool UpdateRun::endBefore(Outcome outcome) {
    early.operation = current.operation;
    early.outcome = outcome;
    early.report.times[std::size_t(Phase::speedSwitch)] = switchTime;
    command.reportsTo().ended(current.operation, outcome);
    return false;
}

bool UpdateRun::start(const RunSettings& settings) {
    if (command.busy()) {
        return false;
    }
    stopRequest = false;
    command.resetCancel(); // a stop asked of an earlier run is not one of this run
    workerStarted = false;
    current = settings;
    early = RunResult{};
    switchTime = {};
    RunObserver& observer = command.reportsTo();

    observer.log(RunLog{RunStep::starting});
    // The image is judged before the device is touched: a refused file must not cost the device
    // its update mode, and with it several seconds.
    image = settings.image;
    if (!image && settings.operation != Operation::erase) {
        auto loaded = std::make_shared<FileCopy>();
        const LoadedImage check = loadImage(settings.imagePath, *loaded);
        if (!check.ok()) {
            early.imageProblem = check.problem;
            reportUnreadableImage(observer, settings.imagePath, check.problem);
            return endBefore(Outcome::imageError);
        }
        image = std::move(loaded);
    }
    if (!settings.port.empty()) {
        command.changeComPort(settings.port);
    }

    if (settings.speedSwitch) {
        observer.phase(Phase::speedSwitch);
        const auto switchStart = clock.now();
        const std::int32_t linkSpeed = command.baudRate();
        command.changeBaudRate();
        // Whatever holds the port now would also have the device miss the speed commands: going on at
        // 115200 would talk to a device still at its old speed.
        if (command.openError() != PortError::none && !stopped()) {
            switchTime = clock.now() - switchStart;
            if (command.speedCommandsSent() == 0) {
                command.changeBaudRate2(linkSpeed); // nothing reached the device: the next try starts over
            }
            notePortFailure();
            observer.phaseEnded(Phase::speedSwitch);
            command.reportOpenFailure("connect");
            return endBefore(Outcome::portError);
        }
        if (!settings.port.empty()) {
            command.changeComPort(settings.port);
        }
        command.changeBaudRate2(settings.updateSpeed);
        pause(settleAfterSwitchMs);
        switchTime = clock.now() - switchStart;
        observer.phaseEnded(Phase::speedSwitch);
    } else {
        command.changeBaudRate2(settings.updateSpeed);
    }
    if (stopped()) {
        return endBefore(Outcome::interrupted);
    }

    command.useImage(image);
    command.verifyBeforeFinish = settings.verifyBeforeFinish;
    command.connectAnd(settings.operation);
    if (command.outcome == Outcome::portError || command.outcome == Outcome::noWorker) {
        notePortFailure();
        return endBefore(command.outcome);
    }
    workerStarted = true;
    // A stop requested while the worker started would have been cleared with the Command's flag.
    if (stopRequest) {
        command.cancel();
    }
    return true;
}

RunResult UpdateRun::perform(const RunSettings& settings) {
    if (start(settings)) {
        command.waitForWorker();
    }
    return result();
}

RunResult UpdateRun::result() const {
    RunResult result = early;
    if (workerStarted) {
        result.operation = current.operation;
        result.outcome = command.outcome;
        result.report = command.report();
        result.report.times[std::size_t(Phase::speedSwitch)] = switchTime;
    }
    result.text = resultText(result, result.operation, devicePathFor(command.portName()), image.get(),
                             current.imageName);
    return result;
}

} // namespace vtc880

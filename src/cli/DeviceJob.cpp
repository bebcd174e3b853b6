#include "cli/DeviceJob.h"

#include "control/Command.h"
#include "link/DeviceCodes.h"

#include <chrono>
#include <thread>

namespace {

constexpr auto slice = std::chrono::milliseconds(10);

void pause(int milliseconds, const std::atomic<bool>& stop) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!stop && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(slice);
    }
}

// Waits for the worker; a stop request reaches it through the Command, which ends it within a poll.
Outcome finish(Command& command, const std::atomic<bool>& stop) {
    while (command.busy()) {
        if (stop) {
            command.cancel();
        }
        std::this_thread::sleep_for(slice);
    }
    command.waitForWorker();
    return command.outcome;
}

} // namespace

JobResult runJob(const JobSettings& settings, Sinks& sinks, const std::atomic<bool>& stop) {
    Command command(settings.port, settings.initialSpeed, sinks);
    command.fileName = settings.image;
    command.verifyBeforeFinish = settings.verify;

    sinks.setStatusText("Connecting to VTC880 ...");
    if (settings.speedSwitch) {
        command.changeBaudRate(); // no reply is read; the open that follows reports a missing port
        command.changeComPort(settings.port);
    }
    command.changeBaudRate2(Speed::update);
    if (settings.speedSwitch) {
        pause(1000, stop); // the device settles at its new speed
    }
    if (stop) {
        return {Outcome::cancelled, PortError::none};
    }

    if (settings.operation == Operation::update) {
        command.connectAndDownload();
    } else {
        command.connect();
        if (finish(command, stop) != Outcome::succeeded) {
            return {command.outcome, command.openError()};
        }
        if (settings.operation == Operation::verify) {
            command.verify();
        } else {
            command.eraseAll();
        }
    }
    const Outcome outcome = finish(command, stop);
    return {outcome, command.openError()};
}

#include "events/JsonEvents.h"

#include "control/DeviceState.h"
#include "control/ResultText.h"

#include <chrono>

namespace vtc880 {

namespace {

// How every event about one device begins: its type, a station's slot, the port.
JsonObject deviceEvent(const char* type, const std::string& port, const std::string& slot) {
    JsonObject event;
    event.add("event", type);
    if (!slot.empty()) {
        event.add("slot", slot);
    }
    event.add("port", port);
    return event;
}

} // namespace

const char* operationName(Operation operation) {
    switch (operation) {
    case Operation::update:
        return "update";
    case Operation::verify:
        return "verify";
    case Operation::erase:
        return "erase";
    }
    return "";
}

JsonObject startEvent(const std::string& port, const std::string& devicePath, const RunPlan& plan,
                      const std::string& link, const std::string& image, const std::string& version) {
    JsonObject event;
    event.add("event", "start")
        .add("port", port)
        .add("device_path", devicePath)
        .add("operation", operationName(plan.operation))
        .add("link", link)
        .add("speed_switch", plan.speedSwitch)
        .add("verify", plan.operation == Operation::verify || plan.verify);
    if (plan.operation != Operation::erase) {
        event.add("image", image)
            .add("version", version)
            .add("image_bytes", std::int64_t(plan.imageBytes))
            .add("blocks", std::int64_t(plan.blocks));
    }
    return event;
}

JsonObject phaseEvent(const std::string& port, Phase phase, const std::string& slot) {
    return deviceEvent("phase", port, slot).add("phase", phaseName(phase));
}

JsonObject progressEvent(const std::string& port, const DeviceProgress& progress,
                         DeviceProgress::Clock::time_point now, const std::string& slot) {
    const PhaseProgress& measure = progress.measure();
    JsonObject event = deviceEvent("progress", port, slot);
    event.add("phase", phaseName(measure.phase))
        .add("done", std::int64_t(measure.done))
        .add("total", std::int64_t(measure.total))
        .add("unit", measure.phase == Phase::erase ? "ms" : "bytes")
        .add("percent", std::int64_t(progress.percent()));
    if (measure.block >= 0) {
        event.add("block", std::int64_t(measure.block + 1)).add("blocks", std::int64_t(measure.blocks));
    }
    if (const std::optional<double> rate = progress.bytesPerSecond()) {
        event.add("bytes_per_second", *rate);
    }
    if (const std::optional<double> left = progress.secondsLeft(now)) {
        event.add("seconds_left", *left);
    }
    return event;
}

JsonObject statusEvent(const std::string& port, std::optional<Phase> phase, const std::string& text,
                       const std::string& slot) {
    JsonObject event = deviceEvent("status", port, slot);
    if (phase) {
        event.add("phase", phaseName(*phase));
    }
    return event.add("text", text);
}

JsonObject messageEvent(const std::string& port, const Message& message, const std::string& slot) {
    return deviceEvent("message", port, slot)
        .add("icon", message.icon == MessageIcon::error ? "error" : "information")
        .add("caption", message.caption)
        .add("text", message.text)
        .add("detail", message.detail);
}

JsonObject resultEvent(const std::string& port, Operation operation, const RunResult& result, int exitCode,
                       const std::string& text, const std::string& slot) {
    const DeviceHolding& device = result.report.device;
    std::chrono::steady_clock::duration took{};
    for (const auto& phase : result.report.times) {
        took += phase;
    }
    JsonObject event = deviceEvent("result", port, slot);
    event.add("operation", operationName(operation))
        .add("ok", result.outcome == Outcome::succeeded)
        .add("outcome", outcomeName(result.outcome))
        .add("exit", std::int64_t(exitCode))
        .add("device", deviceStateName(device.state))
        .add("bytes_programmed", std::int64_t(device.bytesProgrammed))
        .add("image_bytes", std::int64_t(device.imageBytes));
    if (device.state == DeviceState::partlyProgrammed) {
        event.add("last_word_address", std::int64_t(device.lastWordAddress));
    }
    if (device.eraseUnconfirmed) {
        event.add("erase_unconfirmed", true);
    }
    if (result.report.mismatch) {
        const VerifyMismatch& where = *result.report.mismatch;
        event.addRaw("mismatch", JsonObject()
                                     .add("block", std::int64_t(where.block + 1))
                                     .add("word_address", std::int64_t(where.wordAddress))
                                     .add("offset", std::int64_t(where.blockOffset))
                                     .add("length", std::int64_t(where.length))
                                     .add("answered", where.answered)
                                     .str());
    }
    return event.add("seconds", std::chrono::duration<double>(took).count()).add("text", text);
}

JsonObject summaryEvent(int devices, int succeeded, int exitCode, bool interrupted) {
    return JsonObject()
        .add("event", "summary")
        .add("devices", std::int64_t(devices))
        .add("succeeded", std::int64_t(succeeded))
        .add("failed", std::int64_t(devices - succeeded))
        .add("exit", std::int64_t(exitCode))
        .add("interrupted", interrupted);
}

} // namespace vtc880

#include "vtc880/JsonEvents.h"

#include "vtc880/DeviceState.h"
#include "vtc880/LinkTable.h"
#include "vtc880/Operation.h"
#include "vtc880/Outcome.h"

#include <chrono>

namespace vtc880 {

namespace {

// How every event about one device begins: its type, a station's slot, the port.
Json deviceEvent(const char* type, const std::string& port, const std::string& slot) {
    Json event;
    event[field::event] = type;
    if (!slot.empty()) {
        event[field::slot] = slot;
    }
    event[field::port] = port;
    return event;
}

double secondsOf(std::chrono::steady_clock::duration time) {
    return roundedSeconds(std::chrono::duration<double>(time).count());
}

} // namespace

Json startEvent(const std::string& port, const std::string& devicePath, const RunPlan& plan,
                const std::string& image, const std::string& imageVersion, const std::string& slot) {
    Json event = deviceEvent(event::start, port, slot);
    event[field::devicePath] = devicePath;
    event[field::operation] = operationName(plan.operation);
    event[field::link] = linkEntry(plan.link).name;
    event[field::speedSwitch] = plan.speedSwitch;
    event[field::verifyBeforeFinish] = plan.operation == Operation::update && plan.verify;
    if (plan.operation != Operation::erase) {
        event[field::image] = image;
        event[field::imageVersion] = imageVersion;
        event[field::imageBytes] = plan.imageBytes;
        event[field::blocks] = plan.blocks;
    }
    return event;
}

Json phaseEvent(const std::string& port, Phase phase, const std::string& slot) {
    Json event = deviceEvent(event::phase, port, slot);
    event[field::phase] = phaseName(phase);
    return event;
}

Json progressEvent(const std::string& port, const DeviceProgress& progress,
                   DeviceProgress::Clock::time_point now, const std::string& slot) {
    const PhaseProgress& measure = progress.measure();
    Json event = deviceEvent(event::progress, port, slot);
    event[field::phase] = phaseName(measure.phase);
    event[field::done] = measure.done;
    event[field::total] = measure.total;
    event[field::unit] = measure.phase == Phase::erase ? "ms" : "bytes";
    event[field::percent] = progress.percent();
    if (measure.block >= 0) {
        event[field::block] = measure.block + 1;
        event[field::blocks] = measure.blocks;
    }
    if (const std::optional<double> rate = progress.bytesPerSecond()) {
        event[field::bytesPerSecond] = roundedSeconds(*rate);
    }
    if (const std::optional<double> left = progress.secondsLeft(now)) {
        event[field::secondsLeft] = roundedSeconds(*left);
    }
    return event;
}

Json statusEvent(const std::string& port, std::optional<Phase> phase, const std::string& text,
                 const std::string& slot) {
    Json event = deviceEvent(event::status, port, slot);
    if (phase) {
        event[field::phase] = phaseName(*phase);
    }
    event[field::text] = text;
    return event;
}

Json messageEvent(const std::string& port, const Message& message, const std::string& slot) {
    Json event = deviceEvent(event::message, port, slot);
    event[field::icon] = message.icon == MessageIcon::error ? "error" : "information";
    event[field::caption] = message.caption;
    event[field::text] = message.text;
    event[field::detail] = message.detail;
    return event;
}

Json phaseSecondsOf(const RunReport& report) {
    Json phases = Json::object();
    for (std::size_t p = 0; p < phaseCount; ++p) {
        if (report.times[p].count() > 0) {
            phases[phaseName(Phase(p))] = secondsOf(report.times[p]);
        }
    }
    return phases;
}

Json resultEvent(const std::string& port, const RunResult& result, const std::string& slot,
                 const std::optional<std::string>& usbSerial) {
    const DeviceHolding& device = result.report.device;
    Json event = deviceEvent(event::result, port, slot);
    event[field::operation] = operationName(result.operation);
    event[field::ok] = result.outcome == Outcome::succeeded;
    event[field::outcome] = outcomeName(result.outcome);
    event[field::exit] = exitCodeFor(result.outcome);
    event[field::state] = deviceStateName(device.state);
    event[field::bytesProgrammed] = device.bytesProgrammed;
    event[field::imageBytes] = device.imageBytes;
    if (device.state == DeviceState::partlyProgrammed) {
        event[field::lastWordAddress] = device.lastWordAddress;
    }
    if (device.eraseUnconfirmed) {
        event[field::eraseUnconfirmed] = true;
    }
    if (result.report.mismatch) {
        const VerifyMismatch& where = *result.report.mismatch;
        Json& mismatch = event[field::mismatch];
        mismatch[field::block] = where.block + 1;
        mismatch[field::wordAddress] = where.wordAddress;
        mismatch[field::offset] = where.blockOffset;
        mismatch[field::length] = where.length;
        mismatch[field::answered] = where.answered;
    }
    event[field::seconds] = roundedSeconds(runSeconds(result.report));
    event[field::phaseSeconds] = phaseSecondsOf(result.report);
    event[field::text] = result.text;
    if (usbSerial) {
        event[field::usbSerial] = *usbSerial;
    }
    return event;
}

Json summaryEvent(std::size_t devices, std::size_t succeeded, int exitCode, bool interrupted) {
    Json event;
    event[field::event] = event::summary;
    event[field::devices] = devices;
    event[field::succeeded] = succeeded;
    event[field::failed] = devices - succeeded;
    event[field::exit] = exitCode;
    event[field::interrupted] = interrupted;
    return event;
}

} // namespace vtc880

#include "vtc880/DeviceProgress.h"

#include <algorithm>
#include <cstring>

namespace vtc880 {

namespace {

using Seconds = std::chrono::duration<double>;

// A rate measured over less than this says more about the moment than about the run.
constexpr double leastMeasuredSeconds = 0.3;

// The fixed parts of a run: their pacing is the updater's own.
double speedSwitchSeconds() {
    const double commands = 2.0 * double(std::strlen("1BR115200\r")) * Preamble::speedCharPauseMs;
    return (commands + 1000.0) / 1000.0; // and the pause in which the device takes its new speed
}

double updateModeSeconds() {
    const auto characters = std::strlen(Preamble::firmwareUpdate) + std::strlen(Preamble::enterUpdate);
    return (double(characters) * Preamble::charPauseMs + Preamble::settleMs) / 1000.0;
}

// Bytes of the image a second on the line carries: each chunk of 100 bytes goes out in a frame of
// 117 bytes and is answered by 8, at ten bits a byte.
double lineRate(std::int32_t lineSpeed) {
    const double frame = Frame::sentHeaderSize + Chunk::maxPayload + Frame::trailerSize;
    const double reply = Frame::receivedHeaderSize + Frame::trailerSize;
    return double(lineSpeed > 0 ? lineSpeed : Speed::update) / 10.0 * Chunk::maxBytes / (frame + reply);
}

} // namespace

DeviceProgress::DeviceProgress(RunPlan plan) : runPlan(plan) {}

void DeviceProgress::enter(Phase phase, Clock::time_point at) {
    if (current == Phase::programming) {
        programmingRate = bytesPerSecond();
    }
    current = phase;
    phaseStart = at;
    hasMeasure = false;
}

void DeviceProgress::advance(const PhaseProgress& progress, Clock::time_point at) {
    if (current != progress.phase) {
        enter(progress.phase, at);
    }
    if (!hasMeasure) {
        first = progress;
        firstAt = at;
    }
    hasMeasure = true;
    last = progress;
    lastAt = at;
}

int DeviceProgress::percent() const {
    if (!hasMeasure) {
        return 0;
    }
    if (last.total == 0) {
        return 100;
    }
    return int(std::min<std::uint64_t>(last.done, last.total) * 100 / last.total);
}

std::optional<double> DeviceProgress::bytesPerSecond() const {
    if (!hasMeasure || (current != Phase::programming && current != Phase::verify)) {
        return std::nullopt;
    }
    const double seconds = Seconds(lastAt - firstAt).count();
    if (seconds < leastMeasuredSeconds || last.done <= first.done) {
        return std::nullopt;
    }
    return double(last.done - first.done) / seconds;
}

std::vector<Phase> DeviceProgress::phases() const {
    std::vector<Phase> list;
    if (runPlan.speedSwitch) {
        list.push_back(Phase::speedSwitch);
    }
    list.push_back(Phase::updateMode);
    switch (runPlan.operation) {
    case Operation::update:
        list.push_back(Phase::erase);
        list.push_back(Phase::programming);
        if (runPlan.verify) {
            list.push_back(Phase::verify);
        }
        list.push_back(Phase::finish);
        break;
    case Operation::verify:
        list.push_back(Phase::verify);
        break;
    case Operation::erase:
        list.push_back(Phase::erase);
        break;
    }
    return list;
}

std::optional<double> DeviceProgress::rateOf(Phase phase) const {
    if (phase == current) {
        if (const std::optional<double> measured = bytesPerSecond()) {
            return measured;
        }
    }
    // A verify sends the same chunks as programming did.
    if (phase == Phase::verify) {
        if (current == Phase::programming && bytesPerSecond()) {
            return bytesPerSecond();
        }
        if (programmingRate) {
            return programmingRate;
        }
    }
    return lineRate(runPlan.lineSpeed);
}

std::optional<double> DeviceProgress::secondsOf(Phase phase) const {
    switch (phase) {
    case Phase::speedSwitch:
        return speedSwitchSeconds();
    case Phase::updateMode:
        return updateModeSeconds();
    case Phase::erase:
        return std::nullopt; // the device announces it
    case Phase::programming:
    case Phase::verify:
        return double(runPlan.imageBytes) / *rateOf(phase);
    case Phase::finish:
        return 0.0;
    }
    return std::nullopt;
}

std::optional<double> DeviceProgress::rest(Clock::time_point now) const {
    const double inPhase = Seconds(now - phaseStart).count();
    const double sinceLast = hasMeasure ? Seconds(now - lastAt).count() : 0.0;
    switch (*current) {
    case Phase::speedSwitch:
    case Phase::updateMode:
        return std::max(0.0, *secondsOf(*current) - inPhase);
    case Phase::erase:
        if (!hasMeasure) {
            return std::nullopt;
        }
        return std::max(0.0, double(last.total - std::min(last.done, last.total)) / 1000.0 - sinceLast);
    case Phase::programming:
    case Phase::verify: {
        const std::uint64_t total = hasMeasure ? last.total : runPlan.imageBytes;
        const std::uint64_t done = hasMeasure ? std::min(last.done, total) : 0;
        return std::max(0.0, double(total - done) / *rateOf(*current) - sinceLast);
    }
    case Phase::finish:
        return 0.0;
    }
    return std::nullopt;
}

std::optional<double> DeviceProgress::secondsLeft(Clock::time_point now) const {
    const std::vector<Phase> all = phases();
    auto next = all.begin();
    double left = 0;
    if (current) {
        const std::optional<double> thisPhase = rest(now);
        if (!thisPhase) {
            return std::nullopt;
        }
        left = *thisPhase;
        next = std::find(all.begin(), all.end(), *current);
        next = next == all.end() ? all.end() : next + 1;
    }
    for (; next != all.end(); ++next) {
        const std::optional<double> seconds = secondsOf(*next);
        if (!seconds) {
            return std::nullopt;
        }
        left += *seconds;
    }
    return left;
}

} // namespace vtc880

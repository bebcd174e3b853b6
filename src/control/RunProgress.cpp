#include "vtc880/RunProgress.h"

namespace vtc880 {

void RunProgress::begin(std::uint64_t imageBytes) {
    const std::lock_guard lock(mutex);
    state = RunReport{};
    state.device.imageBytes = imageBytes;
    phaseOpen = false;
}

void RunProgress::setImageBytes(std::uint64_t imageBytes) {
    const std::lock_guard lock(mutex);
    state.device.imageBytes = imageBytes;
}

void RunProgress::closePhase(Time now) {
    if (phaseOpen && state.phase) {
        state.times[std::size_t(*state.phase)] += now - phaseStart;
    }
    phaseOpen = false;
}

void RunProgress::enter(Phase phase, Time now) {
    const std::lock_guard lock(mutex);
    closePhase(now);
    state.phase = phase;
    phaseStart = now;
    phaseOpen = true;
}

void RunProgress::end(Time now) {
    const std::lock_guard lock(mutex);
    closePhase(now);
}

void RunProgress::preambleSent() {
    const std::lock_guard lock(mutex);
    if (state.device.state == DeviceState::untouched) {
        state.device.state = DeviceState::inUpdateMode;
    }
}

void RunProgress::eraseSent() {
    const std::lock_guard lock(mutex);
    state.device.eraseUnconfirmed = true;
}

void RunProgress::eraseAcknowledged() {
    const std::lock_guard lock(mutex);
    state.device.eraseUnconfirmed = false;
    state.device.state = DeviceState::erased;
    state.device.bytesProgrammed = 0;
}

void RunProgress::chunkAcknowledged(std::uint32_t wordAddress, std::uint32_t length) {
    const std::lock_guard lock(mutex);
    state.device.state = DeviceState::partlyProgrammed;
    state.device.bytesProgrammed += length;
    state.device.lastWordAddress = length == 0 ? wordAddress : wordAddress + (length - 1) / 2;
}

void RunProgress::allProgrammed() {
    const std::lock_guard lock(mutex);
    state.device.state = DeviceState::programmedNotFinished;
}

void RunProgress::finishSent() {
    const std::lock_guard lock(mutex);
    if (state.device.state == DeviceState::programmedNotFinished) {
        state.device.state = DeviceState::updated;
    }
}

void RunProgress::verified(std::uint32_t length) {
    const std::lock_guard lock(mutex);
    state.bytesVerified += length;
}

void RunProgress::verifyRefused(const VerifyMismatch& where) {
    const std::lock_guard lock(mutex);
    state.mismatch = where;
}

bool RunProgress::firmwareTouched() const {
    const std::lock_guard lock(mutex);
    const DeviceState now = state.device.state;
    return state.device.eraseUnconfirmed || now == DeviceState::erased ||
           now == DeviceState::partlyProgrammed || now == DeviceState::programmedNotFinished ||
           now == DeviceState::updated;
}

RunReport RunProgress::report() const {
    const std::lock_guard lock(mutex);
    return state;
}

} // namespace vtc880

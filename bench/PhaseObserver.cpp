#include "PhaseObserver.h"

#include "ProcessFigures.h"

using namespace vtc880;

namespace {

PhaseObserver::Mark mark() {
    PhaseObserver::Mark m;
    m.writeCalls = threadWriteCalls();
    m.threadCpu = threadCpuSeconds();
    m.processCpu = processCpuSeconds();
    m.at = std::chrono::steady_clock::now();
    return m;
}

} // namespace

void PhaseObserver::progress(const PhaseProgress& progress) {
    std::lock_guard<std::mutex> lock(mutex);
    if (progress.phase == Phase::programming && progress.block >= 0 && !programStart) {
        programStart = mark();
    }
}

void PhaseObserver::log(const RunLog& log) {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(mutex);
    lastStatus = runLogText(log);
    switch (log.step) {
    case RunStep::connected:
        connected = now;
        break;
    case RunStep::erasing:
        eraseStart = now;
        break;
    case RunStep::erased:
        erased = now;
        break;
    case RunStep::blockProgrammed:
        programEnd = mark();
        break;
    default:
        break;
    }
}

void PhaseObserver::ended(Operation, Outcome) {
    std::lock_guard<std::mutex> lock(mutex);
    endedAt = std::chrono::steady_clock::now();
}

#pragma once

#include "vtc880/RunObserver.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

// Times the phases of an update from what it reports: connect, erase, programming (from the first
// block begun to the last block programmed), and the end. At the edges of programming it also reads,
// on the worker's own thread, its CPU time and its write calls.
class PhaseObserver : public vtc880::RunObserver {
  public:
    using Time = std::chrono::steady_clock::time_point;
    struct Mark {
        Time at{};
        double threadCpu = 0;  // seconds, the reporting (worker) thread
        double processCpu = 0; // seconds, the whole process
        std::int64_t writeCalls = 0;
    };

    void progress(const vtc880::PhaseProgress& progress) override;
    void log(const vtc880::RunLog& log) override;
    void ended(vtc880::Operation operation, vtc880::Outcome outcome) override;

    // Read once the run has ended.
    std::optional<Time> connected, eraseStart, erased, endedAt;
    std::optional<Mark> programStart, programEnd;
    std::string lastStatus;

  private:
    std::mutex mutex;
};

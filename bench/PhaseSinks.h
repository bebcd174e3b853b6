#pragma once

#include "control/Sinks.h"

#include <chrono>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>

using namespace vtc880;

// Sinks that time the phases of an update from its status texts: connect, erase, programming (from the
// first "Copying" line to the last "Firmware updated"), and the end (the closing message box). At the
// edges of programming they also read, on the worker's own thread, its CPU time and its write calls.
class PhaseSinks : public Sinks {
  public:
    using Time = std::chrono::steady_clock::time_point;
    struct Mark {
        Time at{};
        double threadCpu = 0;  // seconds, the reporting (worker) thread
        double processCpu = 0; // seconds, the whole process
        std::int64_t writeCalls = 0;
    };

    void setStatusText(const std::string& text) override;
    void showStatus() override {}
    void setProgressMaximum(std::int32_t) override {}
    void setProgressValue(std::int32_t) override {}
    void setTitle(const std::string&) override {}
    void repaint() override {}
    void messageBox(const Message& message) override;
    void exitApplication() override {}

    // Read once the run has ended.
    std::optional<Time> connected, eraseStart, erased, ended;
    std::optional<Mark> programStart, programEnd;
    std::string lastStatus, lastMessage;

  private:
    std::mutex mutex;
};

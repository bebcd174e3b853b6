#pragma once

#include "control/Outcome.h"
#include "control/Sinks.h"
#include "link/RS232.h"

#include <atomic>
#include <cstdint>
#include <string>

enum class Operation { update, verify, erase };

struct JobSettings {
    Operation operation = Operation::update;
    std::string port;                  // what the link opens
    std::int32_t initialSpeed = 19200; // the device's speed before the speed switch (by link kind)
    bool speedSwitch = true;
    bool verify = false; // update: compare the whole image before Finish
    std::string image;
};

struct JobResult {
    Outcome outcome = Outcome::none;
    PortError openError = PortError::none;
};

// One device's job, on the calling thread, through a Command of its own: the speed switch and its
// pause exactly as the window runs them, then the update, or a connect followed by the verify or the
// erase (the device answers frames only in its update mode). Setting `stop` cancels it promptly.
JobResult runJob(const JobSettings& settings, Sinks& sinks, const std::atomic<bool>& stop);

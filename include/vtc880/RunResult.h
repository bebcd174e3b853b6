#pragma once

#include "vtc880/Operation.h"
#include "vtc880/Outcome.h"
#include "vtc880/PortError.h"
#include "vtc880/RunReport.h"

#include <string>

namespace vtc880 {

// How a run ended, what the device now holds, and what the tool says of it.
struct RunResult {
    Operation operation = Operation::update;
    Outcome outcome = Outcome::none;
    RunReport report;                      // what the device acknowledged; the time of each phase
    PortError openError = PortError::none; // why the port did not open, for Outcome::portError
    int openSystemError = 0;               // the system's own number for it
    std::string portDetail;                // the same in words, with what to do
    std::string portBrief;                 // the same in a few words
    std::string imageProblem;              // why the image was refused, for Outcome::imageError
    std::string text;                      // the result in words, with what to do about it
};

} // namespace vtc880

#pragma once

#include "cli/DeviceJob.h"

#include <string>

// What the tool says and returns for each way a job can end: the cause, and what to do about it.
int exitCodeFor(Outcome outcome);
const char* outcomeName(Outcome outcome);
std::string resultText(const JobResult& result, Operation operation, const std::string& devicePath);

// The processes that hold `devicePath` open, as "1234 (minicom)", where the system tells.
std::string portHolders(const std::string& devicePath);

#pragma once

#include "cli/DeviceJob.h"

#include <string>

// What the tool says and returns for each way a job can end: the cause, and what to do about it.
int exitCodeFor(Outcome outcome);
const char* outcomeName(Outcome outcome);
std::string resultText(const JobResult& result, Operation operation, const std::string& devicePath);

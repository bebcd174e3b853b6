#pragma once

#include "cli/DeviceJob.h"
#include "image/FileCopy.h"

#include <string>

// What the tool says and returns for each way a job can end: the cause, what the device now holds,
// and what to do about it.
int exitCodeFor(Outcome outcome);
const char* outcomeName(Outcome outcome);
// `image` (may be null) names the block and the recipe source a verify found different.
std::string resultText(const JobResult& result, Operation operation, const std::string& devicePath,
                       const FileCopy* image);
// Where a verify found the device's memory different, e.g. "block 2 of 3 (SOURCE_1 of its recipe),
// word 0x132, bytes 100..199 of the block".
std::string mismatchText(const VerifyMismatch& where, const FileCopy* image);

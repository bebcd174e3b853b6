#pragma once

#include "vtc880/FileCopy.h"
#include "vtc880/RunResult.h"

#include <string>
#include <vector>

namespace vtc880 {

// What the tool says and returns for each way a job can end: the cause, what the device now holds,
// and what to do about it.
// `image` (may be null) names the block and the recipe source a verify found different; with
// `imageName`, the file it came from, a success says what was done: image, bytes, version, time, speed.
std::string resultText(const RunResult& result, Operation operation, const std::string& devicePath,
                       const FileCopy* image, const std::string& imageName = {});
// A device's result line: its port, then the result, with the outcome class of a failure.
std::string resultLine(const std::string& port, const RunResult& result, const std::string& text);
// The same in a few words, for a live line: "updated in 2.3 s", "FAILED (port)".
std::string briefResult(const RunResult& result, Operation operation);
// The last line when several devices ran: how many did what, which failed, and the exit status.
std::string totalText(Operation operation, int devices, const std::vector<std::string>& failedPorts,
                      int exitCode);
// Where a verify found the device's memory different, e.g. "block 2 of 3 (SOURCE_1 of its recipe),
// word 0x132, bytes 100..199 of the block".
std::string mismatchText(const VerifyMismatch& where, const FileCopy* image);

} // namespace vtc880

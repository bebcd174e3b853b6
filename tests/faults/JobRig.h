#pragma once

#include "../control/RecordingSinks.h"
#include "vtc880/ScaledClock.h"
#include "sim/SimulatedDevice.h"
#include "vtc880/DeviceJob.h"
#include "vtc880/FileCopy.h"

#include <chrono>
#include <cstddef>
#include <string>

using namespace vtc880;

// The image every run sends: the version block, a 250-byte block and an odd-sized one; five chunks.
const FileCopy& testImage();
constexpr int testImageChunks = 5;

// A job as the command-line tool runs it (speed switch included), on a clock whose pauses cost a
// twentieth, with the time it took.
struct JobRun {
    RunResult result;
    RecordingSinks sinks;
    std::chrono::steady_clock::duration took{};
};
void runOn(JobRun& run, Operation operation, bool verify, const std::string& port, const std::string& image);

// Descriptors of this process open on `path` (the device holds one of its own port).
std::size_t descriptorsOn(const std::string& path);
// A fresh exclusive open of the port succeeds: nothing holds it any more.
bool reopens(const std::string& path);

// The device's memory over every block of the image: equal to it, or erased.
bool holdsImage(const sim::SimulatedDevice& device, const FileCopy& image);
bool erasedUnder(const sim::SimulatedDevice& device, const FileCopy& image);
// The device holds the image's first `bytes` bytes, in block order, and nothing after them but perhaps
// the next chunk: one the device stored but whose reply never came.
bool holdsAcknowledged(const sim::SimulatedDevice& device, const FileCopy& image, std::uint64_t bytes);
void preload(sim::SimulatedDevice& device, const FileCopy& image);

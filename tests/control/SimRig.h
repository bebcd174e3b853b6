#pragma once

#include "RecordingSinks.h"
#include "Rig.h"
#include "vtc880/ScaledClock.h"
#include "TempImage.h"
#include "sim/SimulatedDevice.h"
#include "vtc880/Command.h"
#include "vtc880/DeviceCodes.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

using namespace vtc880;

// The device as the workers meet it after the speed switch: at 115200, quick to erase.
sim::Config deviceAtUpdateSpeed();

// A simulated device on its pseudo-terminal and a Command on that port at the device's speed,
// reporting to recording sinks, with a firmware image file to send.
struct SimRig {
    explicit SimRig(sim::Config config = deviceAtUpdateSpeed(), Clock* clock = nullptr,
                    const FileCopy& image = standardImage());

    // Version block first, a 250-byte block and an odd-sized one.
    static const FileCopy& standardImage();

    sim::Config config;
    sim::SimulatedDevice device;
    bool started;
    RecordingSinks sinks;
    ScaledClock scaled;
    TempImage imageFile;
    Command command;

    // Waits for the worker, then a moment for the device to log a last frame that gets no reply.
    void finish();
    // A new open succeeds: nothing holds the port any more.
    bool portFree() const;
    std::vector<sim::Received> ascii() const;
    std::vector<sim::Received> frames(std::uint16_t code) const;
    // The device memory of each block equals the image.
    bool holds(const FileCopy& image) const;
};

// The device memory of each block equals the image.
bool deviceHolds(const sim::SimulatedDevice& device, const FileCopy& image);

// Polls `done` for up to `limit` of real time; a generous bound, never an assertion on speed.
bool eventually(const std::function<bool()>& done,
                std::chrono::milliseconds limit = std::chrono::seconds(20));

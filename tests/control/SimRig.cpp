#include "SimRig.h"

#include "link/RS232.h"

#include <gtest/gtest.h>
#include <thread>

using namespace vtc880;

sim::Config deviceAtUpdateSpeed() {
    sim::Config config;
    config.initialSpeed = Speed::update;
    config.eraseTimeMs = 20;
    return config;
}

const FileCopy& SimRig::standardImage() {
    static const FileCopy image = makeImage({{4, 0x50002}, {250, 0x100}, {51, 0x200}});
    return image;
}

SimRig::SimRig(sim::Config config, Clock* clock, const FileCopy& image)
    : config(config), device(config), started(device.start()), imageFile(image),
      command(device.portPath(), config.initialSpeed, sinks, clock ? *clock : scaled) {
    EXPECT_TRUE(started) << device.startError();
    command.fileName = imageFile.path();
}

void SimRig::finish() {
    command.waitForWorker();
    // Finish goes out without a reply; give the device a moment to log what is already on the line.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

bool SimRig::portFree() const {
    RS232 probe(device.portPath(), Speed::update);
    return !probe.error;
}

std::vector<sim::Received> SimRig::ascii() const {
    std::vector<sim::Received> entries;
    for (const sim::Received& r : device.transcript()) {
        if (r.kind == sim::Received::Kind::ascii) {
            entries.push_back(r);
        }
    }
    return entries;
}

std::vector<sim::Received> SimRig::frames(std::uint16_t code) const {
    std::vector<sim::Received> entries;
    for (const sim::Received& r : device.transcript()) {
        if (r.kind == sim::Received::Kind::frame && r.code == code) {
            entries.push_back(r);
        }
    }
    return entries;
}

bool SimRig::holds(const FileCopy& image) const {
    return deviceHolds(device, image);
}

bool deviceHolds(const sim::SimulatedDevice& device, const FileCopy& image) {
    for (int b = 0; b < image.count; ++b) {
        const FileBlock& block = image.blocks[b];
        const std::vector<std::uint8_t> expected(block.data.get(), block.data.get() + block.size);
        if (device.memory(block.address, block.size) != expected) {
            return false;
        }
    }
    return true;
}

bool eventually(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

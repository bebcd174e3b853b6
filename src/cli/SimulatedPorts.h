#pragma once

#include "vtc880/UpdateRun.h"

#include <CLI/CLI.hpp>
#include <cstdint>
#include <memory>
#include <string>

namespace vtc880 {

// --simulate: a simulated device inside this process for each run, to try the tool without hardware.
// Offered where the simulated device is built (it runs on pseudo-terminals): its file offers it.
class Simulation {
  public:
    virtual ~Simulation() = default;
    virtual void addOptions(CLI::App& command) = 0; // --simulate and the device's own options
    virtual bool requested() const = 0;
    // Starts a device for `job` and points the job at its port. The device's line starts at `speed`
    // unless an option set it. Empty on success, else why it did not start.
    virtual std::string start(RunSettings& job, std::int32_t speed) = 0;
    virtual void stopAll() = 0;
};

using SimulationMaker = std::unique_ptr<Simulation> (*)();
bool offerSimulation(SimulationMaker make);
// A simulation for one command, or none where this system has no simulated device.
std::unique_ptr<Simulation> newSimulation();

} // namespace vtc880

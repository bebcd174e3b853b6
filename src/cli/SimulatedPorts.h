#pragma once

#include "jobs/DeviceJob.h"

#include <CLI/CLI.hpp>
#include <cstdint>
#include <memory>
#include <string>

namespace vtc880 {

// --simulate: a simulated device inside this process for each job, to try the tool without hardware.
// Offered where the simulated device is built (it runs on pseudo-terminals); elsewhere the options
// are absent and nothing is ever requested.
class SimulatedPorts {
  public:
    SimulatedPorts();
    ~SimulatedPorts();
    SimulatedPorts(const SimulatedPorts&) = delete;
    SimulatedPorts& operator=(const SimulatedPorts&) = delete;

    void addOptions(CLI::App& command); // --simulate and the device's own options
    bool requested() const;

    // Starts a device for `job` and points the job at its port. The device's line starts at
    // `speed` unless an option set it. Empty on success, else why it did not start.
    std::string start(RunSettings& job, std::int32_t speed);
    void stopAll();

  private:
    struct State;
    std::unique_ptr<State> state;
};

} // namespace vtc880

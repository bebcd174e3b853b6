#include "cli/SimulatedPorts.h"
#include "sim/SimOptions.h"
#include "sim/SimulatedDevice.h"

#include <vector>

namespace vtc880 {

struct SimulatedPorts::State {
    bool simulate = false;
    sim::Config config;
    CLI::Option* initialSpeedOption = nullptr;
    std::vector<std::unique_ptr<sim::SimulatedDevice>> devices;
};

SimulatedPorts::SimulatedPorts() : state(std::make_unique<State>()) {}

SimulatedPorts::~SimulatedPorts() = default;

void SimulatedPorts::addOptions(CLI::App& command) {
    command.add_flag("--simulate", state->simulate, "Work with a simulated device inside this process");
    CLI::App* group = command.add_option_group("Simulated device", "With --simulate");
    sim::addSimOptions(*group, state->config);
    state->initialSpeedOption = group->get_option("--initial-speed");
}

bool SimulatedPorts::requested() const {
    return state->simulate;
}

std::string SimulatedPorts::start(RunSettings& job, std::int32_t speed) {
    sim::Config config = state->config;
    if (state->initialSpeedOption == nullptr || state->initialSpeedOption->count() == 0) {
        config.initialSpeed = speed;
    }
    // Nothing here reads what the device received; keeping it would cost about 200 bytes a frame.
    config.keepTranscript = false;
    if (!state->devices.empty()) {
        config.linkPath.clear(); // one name can point at one device only
    }
    state->devices.push_back(std::make_unique<sim::SimulatedDevice>(config));
    sim::SimulatedDevice& device = *state->devices.back();
    if (!device.start()) {
        return device.startError();
    }
    job.port = device.portPath();
    return {};
}

void SimulatedPorts::stopAll() {
    state->devices.clear();
}

} // namespace vtc880

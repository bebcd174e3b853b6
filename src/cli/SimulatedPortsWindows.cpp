#include "cli/SimulatedPorts.h"

namespace vtc880 {

// The simulated device needs pseudo-terminals: on Windows the tool works with a real port, or with the
// Linux simulated device through a port Wine maps to it.
struct SimulatedPorts::State {};

SimulatedPorts::SimulatedPorts() : state(std::make_unique<State>()) {}

SimulatedPorts::~SimulatedPorts() = default;

void SimulatedPorts::addOptions(CLI::App&) {}

bool SimulatedPorts::requested() const {
    return false;
}

std::string SimulatedPorts::start(RunSettings&, std::int32_t) {
    return "this build has no simulated device";
}

void SimulatedPorts::stopAll() {}

} // namespace vtc880

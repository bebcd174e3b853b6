#include "cli/SimulatedPorts.h"

namespace vtc880 {

namespace {

SimulationMaker& maker() {
    static SimulationMaker offered = nullptr;
    return offered;
}

} // namespace

bool offerSimulation(SimulationMaker make) {
    maker() = make;
    return true;
}

std::unique_ptr<Simulation> newSimulation() {
    return maker() != nullptr ? maker()() : nullptr;
}

} // namespace vtc880

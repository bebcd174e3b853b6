#include "cli/SimulatedPorts.h"
#include "sim/SimOptions.h"
#include "sim/SimulatedDevice.h"

#include <vector>

namespace vtc880 {

namespace {

class SimulatedPorts : public Simulation {
  public:
    void addOptions(CLI::App& command) override {
        command.add_flag("--simulate", simulate, "Work with a simulated device inside this process");
        CLI::App* group = command.add_option_group("Simulated device", "With --simulate");
        sim::addSimOptions(*group, config);
        initialSpeedOption = group->get_option("--initial-speed");
    }

    bool requested() const override { return simulate; }

    std::string start(RunSettings& job, std::int32_t speed) override {
        sim::Config device = config;
        if (initialSpeedOption == nullptr || initialSpeedOption->count() == 0) {
            device.initialSpeed = speed;
        }
        // Nothing here reads what the device received; keeping it would cost about 200 bytes a frame.
        device.keepTranscript = false;
        if (!devices.empty()) {
            device.linkPath.clear(); // one name can point at one device only
        }
        devices.push_back(std::make_unique<sim::SimulatedDevice>(device));
        sim::SimulatedDevice& started = *devices.back();
        if (!started.start()) {
            return started.startError();
        }
        job.port = started.portPath();
        return {};
    }

    void stopAll() override { devices.clear(); }

  private:
    bool simulate = false;
    sim::Config config;
    CLI::Option* initialSpeedOption = nullptr;
    std::vector<std::unique_ptr<sim::SimulatedDevice>> devices;
};

const bool offered =
    offerSimulation([]() -> std::unique_ptr<Simulation> { return std::make_unique<SimulatedPorts>(); });

} // namespace

} // namespace vtc880

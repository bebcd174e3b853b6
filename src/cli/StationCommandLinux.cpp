#include "cli/RunOptions.h"
#include "cli/StopRequest.h"
#include "cli/Subcommands.h"
#include "terminal/Output.h"
#include "terminal/StationView.h"
#include "vtc880/DeviceCodes.h"
#include "vtc880/ExitStatus.h"
#include "vtc880/Station.h"
#include "vtc880/SystemRoots.h"

#include <filesystem>
#include <memory>
#include <system_error>

namespace vtc880 {

namespace {

struct StationOptions {
    std::string image;
    std::vector<std::string> slots;
    RunOptions run;
    std::string devDir = devRoot;
    int settleMs = 1000;
};

int run(const StationOptions& options, std::vector<StationSlot> slots, bool json) {
    const Output out(json);
    StationSettings settings;
    settings.image = options.image;
    settings.slots = std::move(slots);
    settings.verify = options.run.verify;
    settings.link = options.run.chosenLink().kind;
    settings.speedSwitch = !options.run.noSpeedSwitch;
    settings.roots.dev = options.devDir;
    settings.record = options.run.record;
    settings.settle = std::chrono::milliseconds(options.settleMs);
    // Before any thread starts, so that every thread inherits it.
    StopRequest signals;
    StationView view(out, StationView::styleFor(out));
    Station station(std::move(settings), view);
    return station.run([&signals] { return signals.arrived(); });
}

} // namespace

namespace {

void addStationCommand(CLI::App& app, CliContext& context) {
    auto options = std::make_shared<StationOptions>();
    CLI::App* command = app.add_subcommand(
        "station", "Update every device plugged into the given slots, each once, as it is plugged in");
    command->add_option("image", options->image, "The firmware image file")->required();
    command
        ->add_option("--slot", options->slots,
                     "A slot: a port selector (usb:VID:PID[:SERIAL], path:PATTERN, or a port name), "
                     "optionally named: NAME=SELECTOR. Give it for each slot; a slot may cover several "
                     "ports (path:*usb-0:1.*)")
        ->required();
    addRunOptions(*command, options->run, true, "the devices are");
    command
        ->add_option("--dev-dir", options->devDir,
                     "Watch this folder instead of /dev: its serial/by-id and serial/by-path links and "
                     "its ttyUSB*/ttyACM* ports (for a simulated line)")
        ->capture_default_str();
    command
        ->add_option("--settle-ms", options->settleMs,
                     "How long a new port must be present before its update starts, in ms")
        ->check(CLI::Range(0, 60000))
        ->capture_default_str();
    command->callback([&context, options] {
        // Every slot must be able to take a port before anything is watched: a slot that never
        // matches would leave its boards waiting without a word.
        std::error_code error;
        if (!std::filesystem::is_directory(options->devDir, error)) {
            throw CLI::ValidationError("--dev-dir",
                                       options->devDir + (std::filesystem::exists(options->devDir, error)
                                                              ? ": not a folder: give the folder that "
                                                                "stands for /dev"
                                                              : ": no such folder"));
        }
        std::string problem;
        std::vector<StationSlot> slots = parseSlots(options->slots, options->devDir, problem);
        if (!problem.empty()) {
            throw CLI::ValidationError("--slot", problem);
        }
        context.exitCode = run(*options, std::move(slots), context.json);
    });
}

const bool registered = registerCommand(place::station, addStationCommand);

} // namespace

} // namespace vtc880

#include "cli/Subcommands.h"
#include "sim/SimOptions.h"
#include "sim/SimProgram.h"

#include <memory>

namespace vtc880 {

namespace {

void addSimCommand(CLI::App& app, CliContext& context) {
    auto config = std::make_shared<sim::Config>();
    auto verbose = std::make_shared<bool>(false);
    CLI::App* command = app.add_subcommand(
        "sim", "Run a simulated VTC880 on a pseudo-terminal: prints its port, answers until Ctrl-C");
    sim::addSimOptions(*command, *config);
    sim::addLineOptions(*command, *config);
    command->add_flag("-v,--verbose", *verbose, "Print each command the device receives on standard error");
    command->callback([&context, config, verbose] {
        if (context.json) {
            throw CLI::ValidationError("sim",
                                       "prints its port as a line of text, not JSON: leave out --json");
        }
        context.exitCode = sim::runUntilStopped(*config, *verbose);
    });
}

const bool registered = registerCommand(place::sim, addSimCommand);

} // namespace

} // namespace vtc880

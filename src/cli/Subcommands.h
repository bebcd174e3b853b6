#pragma once

#include <CLI/CLI.hpp>

namespace vtc880 {

// What every subcommand shares: the global options and the exit status it leaves.
struct CliContext {
    bool json = false;
    int exitCode = 0;
};

void addPackCommand(CLI::App& app, CliContext& context);
void addInfoCommand(CLI::App& app, CliContext& context);
void addDeviceCommands(CLI::App& app, CliContext& context); // update, verify, erase
void addSimCommand(CLI::App& app, CliContext& context);
void addPortsCommand(CLI::App& app, CliContext& context);
void addRecordsCommand(CLI::App& app, CliContext& context);
void addStationCommand(CLI::App& app, CliContext& context); // where ports can be watched

} // namespace vtc880

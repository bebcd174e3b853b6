#include "cli/ExitCodes.h"
#include "cli/Subcommands.h"
#include "cli/ToolVersion.h"

#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
    CLI::App app("vtc880: update, check and package VTC880 firmware from scripts and terminals");
    app.footer(Exit::help);
    app.require_subcommand(1);
    app.set_version_flag("--version", toolVersion());
    app.fallthrough(); // global options may follow the subcommand
    // The same options on every system: "/path" is a file, never a Windows-style "/option".
    app.allow_windows_style_options(false);
    CliContext context;
    app.add_flag("--json", context.json, "Write one JSON object per event on standard output");
    addPackCommand(app, context);
    addInfoCommand(app, context);
    addDeviceCommands(app, context);
    addSimCommand(app, context);
    addPortsCommand(app, context);
    addRecordsCommand(app, context);
    addStationCommand(app, context);
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        app.exit(help);
        return Exit::ok;
    } catch (const CLI::CallForAllHelp& help) {
        app.exit(help);
        return Exit::ok;
    } catch (const CLI::ParseError& error) {
        app.exit(error);
        return Exit::usage;
    }
    return context.exitCode;
}

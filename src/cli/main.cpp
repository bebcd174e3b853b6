#include "cli/CommandLine.h"
#include "cli/Subcommands.h"
#include "vtc880/ExitStatus.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <iostream>
#include <string>

using namespace vtc880;

int main(int argc, char** argv) {
    CLI::App app("vtc880: update, check and package VTC880 firmware from scripts and terminals");
    app.footer(Exit::help);
    app.require_subcommand(1);
    app.fallthrough(); // global options may follow the subcommand
    // The same options on every system: "/path" is a file, never a Windows-style "/option".
    app.allow_windows_style_options(false);
    CliContext context;
    app.add_flag("--json", context.json, "Write one JSON object per event on standard output");
    addCommands(app, context);
    addVersionAndHelp(app, context);
    // With --json, standard output carries JSON alone: help and the version go to standard error.
    const bool json =
        std::any_of(argv + 1, argv + argc, [](const char* word) { return std::string(word) == "--json"; });
    std::ostream& text = json ? std::cerr : std::cout;
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        app.exit(help, text, std::cerr);
        return Exit::ok;
    } catch (const CLI::CallForAllHelp& help) {
        app.exit(help, text, std::cerr);
        return Exit::ok;
    } catch (const CLI::CallForVersion& version) {
        app.exit(version, text, std::cerr);
        return Exit::ok;
    } catch (const CLI::ParseError& error) {
        if (const std::string missing = missingCommandText(app); !missing.empty()) {
            std::cerr << "vtc880: " << missing << "\n";
            return Exit::usage;
        }
        app.exit(error);
        return Exit::usage;
    }
    return context.exitCode;
}

#pragma once

#include "cli/Subcommands.h"

#include <CLI/CLI.hpp>
#include <string>

namespace vtc880 {

// What the tool's command line offers besides its commands: `--version`, and `vtc880 help [COMMAND]`.
// Add it once every command is added. With --json the help goes to standard error.
void addVersionAndHelp(CLI::App& app, const CliContext& context);

// When the command line names no known command: what to say, with the list of commands ("unknown
// command 'upgrade'; ..."). Empty when a command was given. Read after a parse error.
std::string missingCommandText(const CLI::App& app);

} // namespace vtc880

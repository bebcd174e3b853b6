#pragma once

#include <CLI/CLI.hpp>

namespace vtc880 {

// What every subcommand shares: the global options and the exit status it leaves.
struct CliContext {
    bool json = false;
    int exitCode = 0;
};

// Each command's file registers it, with its place in the tool's list of commands. A system that
// lacks what a command needs does not build its file (cmake/Platform.cmake), so the tool offers just
// the commands it has.
using CommandAdder = void (*)(CLI::App& app, CliContext& context);
bool registerCommand(int place, CommandAdder add);
void addCommands(CLI::App& app, CliContext& context); // in the order of their places

// The places, in the order `vtc880 --help` lists the commands.
namespace place {
constexpr int pack = 10;
constexpr int info = 20;
constexpr int device = 30; // update, verify, erase
constexpr int sim = 40;
constexpr int ports = 50;
constexpr int records = 60;
constexpr int station = 70;
} // namespace place

} // namespace vtc880

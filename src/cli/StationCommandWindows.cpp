#include "cli/Subcommands.h"

// `vtc880 station` watches for ports with inotify, which Windows does not have.
void addStationCommand(CLI::App&, CliContext&) {}

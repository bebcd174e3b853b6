#include "cli/Subcommands.h"

namespace vtc880 {

// `vtc880 station` watches for ports with inotify, which Windows does not have.
void addStationCommand(CLI::App&, CliContext&) {}

} // namespace vtc880

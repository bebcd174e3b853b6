#include "cli/Subcommands.h"

namespace vtc880 {

// `vtc880 sim` runs the simulated device on a pseudo-terminal, which Windows does not have.
void addSimCommand(CLI::App&, CliContext&) {}

} // namespace vtc880

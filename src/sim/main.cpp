// vtc880-sim: the simulated VTC880 as a program. Prints the port on the first line of its output and
// answers on it until SIGINT or SIGTERM.
#include "sim/SimOptions.h"
#include "sim/SimProgram.h"

int main(int argc, char** argv) {
    CLI::App app{"Simulated VTC880 firmware-update device on a pseudo-terminal"};
    sim::Config config;
    bool verbose = false;
    sim::addSimOptions(app, config);
    sim::addLineOptions(app, config);
    app.add_flag("-v,--verbose", verbose, "Print each received entry on standard error as it arrives");
    CLI11_PARSE(app, argc, argv);
    return sim::runUntilStopped(config, verbose);
}

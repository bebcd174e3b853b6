#include "sim/SimProgram.h"

#include "sim/ProductionLine.h"
#include "sim/SimulatedDevice.h"
#include "sim/TranscriptText.h"

#include <csignal>
#include <ctime>
#include <iostream>

namespace sim {

namespace {

std::size_t printNew(const SimulatedDevice& device, std::size_t shown,
                     std::chrono::steady_clock::time_point origin) {
    for (const Received& entry : device.transcriptFrom(shown)) {
        std::cerr << describe(entry, origin) << '\n';
        ++shown;
    }
    return shown;
}

// Boards one after another on the socket: each plug and unplug on a line of standard output.
int runLine(const Config& config, const sigset_t& stopSignals) {
    ProductionLine line(config);
    line.onEvent = [](const std::string& text) { std::cout << text << std::endl; };
    if (!line.start()) {
        std::cerr << "vtc880 sim: " << line.error() << '\n';
        return 1;
    }
    for (;;) {
        const timespec slice{0, 50'000'000};
        const int signal = sigtimedwait(&stopSignals, nullptr, &slice);
        if (signal == SIGINT || signal == SIGTERM || line.done())
            break;
    }
    line.stop();
    if (const std::string error = line.error(); !error.empty()) {
        std::cerr << "vtc880 sim: " << error << '\n';
        return 1;
    }
    return 0;
}

} // namespace

int runUntilStopped(const Config& config, bool verbose) {
    // Blocked before the device thread exists, so only this thread ever takes them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    if (config.line.requested())
        return runLine(config, stopSignals);

    SimulatedDevice device(config);
    const auto origin = std::chrono::steady_clock::now();
    if (!device.start()) {
        std::cerr << "vtc880 sim: " << device.startError() << '\n';
        return 1;
    }
    std::cout << device.portPath() << std::endl;
    // The first line of standard output stays the port alone, for scripts; people read this.
    std::cerr << "vtc880 sim: a simulated VTC880 on " << device.portPath()
              << (config.linkPath.empty() ? std::string() : " (also " + config.linkPath + ")")
              << ": give it as the port; Ctrl-C stops it" << std::endl;

    std::size_t shown = 0;
    bool hangUpTold = false;
    for (;;) {
        const timespec slice{0, 50'000'000};
        const int signal = sigtimedwait(&stopSignals, nullptr, &slice);
        if (verbose)
            shown = printNew(device, shown, origin);
        if (device.hungUp() && !hangUpTold) {
            std::cerr << "vtc880 sim: hung up the line after " << device.chunksProgrammed() << " chunks\n";
            hangUpTold = true;
        }
        if (signal == SIGINT || signal == SIGTERM)
            break;
    }
    device.stop();
    if (verbose)
        printNew(device, shown, origin);
    if (device.transcriptDropped() > 0)
        std::cerr << "vtc880 sim: transcript full, " << device.transcriptDropped() << " entries not kept\n";
    return 0;
}

} // namespace sim

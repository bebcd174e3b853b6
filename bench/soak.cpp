// 200 updates in a row through one Command, as the window runs them (speed switch, then connect and
// download), against a simulated device in a process of its own on a fast line (no line model). Prints
// this process's open descriptors, threads and memory before, during and after, and their growth.
//
//   vtc880-soak [UPDATES]
//
// Its pauses (speed-command pacing, settling) run on a clock that shortens them twenty times.

#include "vtc880/ScaledClock.h"
#include "BenchImage.h"
#include "DeviceProcess.h"
#include "ProcessFigures.h"
#include "vtc880/Command.h"
#include "vtc880/DeviceCodes.h"
#include "vtc880/UpdateRun.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <thread>

using namespace vtc880;

namespace {

// Says nothing; the figures are the point.
void print(const char* when, const ProcessFigures& f) {
    std::printf("%-24s %11zu %8ld %10ld %10ld\n", when, f.descriptors, f.threads, f.rssKiB, f.peakRssKiB);
}

} // namespace

int main(int argc, char** argv) {
    const int updates = argc > 1 ? std::atoi(argv[1]) : 200;
    if (updates <= 0) {
        std::fprintf(stderr, "usage: %s [UPDATES]\n", argv[0]);
        return 2;
    }
    const BenchImage image(64 * 1024);
    DeviceProcess device(VTC880_SIM_PROGRAM, {"--erase-time-ms", "10", "--initial-speed", "19200"});
    if (device.portPath().empty()) {
        std::fprintf(stderr, "cannot start the simulated device\n");
        return 1;
    }
    RunObserver quiet; // the soak counts resources, not what the runs say
    ScaledClock clock(20);
    Command command(device.portPath(), Speed::rs232Initial, quiet, clock);
    UpdateRun run(command, clock);

    std::printf("%s\n", machineDescription().c_str());
    std::printf("%d updates of a %u-byte image through one Command; device: vtc880-sim, no line model\n\n",
                updates, unsigned(image.image().totalSize()));
    std::printf("%-24s %11s %8s %10s %10s\n", "", "descriptors", "threads", "VmRSS KiB", "VmHWM KiB");
    const ProcessFigures before = processFigures();
    print("before", before);
    ProcessFigures afterFirst{};
    ProcessFigures mostDuring{};
    int succeeded = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int n = 1; n <= updates; ++n) {
        RunSettings settings;
        settings.port = device.portPath();
        settings.imagePath = image.path();
        run.start(settings);
        // Looked at while the worker runs: its thread and its port count then.
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        const ProcessFigures during = processFigures();
        mostDuring.descriptors = std::max(mostDuring.descriptors, during.descriptors);
        mostDuring.threads = std::max(mostDuring.threads, during.threads);
        mostDuring.rssKiB = std::max(mostDuring.rssKiB, during.rssKiB);
        mostDuring.peakRssKiB = std::max(mostDuring.peakRssKiB, during.peakRssKiB);
        command.waitForWorker();
        succeeded += command.outcome == Outcome::succeeded ? 1 : 0;
        if (n == 1) {
            afterFirst = processFigures();
            print("after update 1", afterFirst);
        }
        if (n % 20 == 0 || n == updates) {
            print(("after update " + std::to_string(n)).c_str(), processFigures());
        }
    }
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const ProcessFigures after = processFigures();
    print("most seen during a run", mostDuring);
    std::printf("\n%d of %d updates succeeded in %.1f s (%.2f s each)\n", succeeded, updates, took,
                took / updates);
    std::printf("growth from before:          descriptors %+ld, threads %+ld, VmRSS %+ld KiB\n",
                long(after.descriptors) - long(before.descriptors), after.threads - before.threads,
                after.rssKiB - before.rssKiB);
    std::printf("growth from after update 1:  descriptors %+ld, threads %+ld, VmRSS %+ld KiB\n",
                long(after.descriptors) - long(afterFirst.descriptors), after.threads - afterFirst.threads,
                after.rssKiB - afterFirst.rssKiB);
    return succeeded == updates ? 0 : 1;
}

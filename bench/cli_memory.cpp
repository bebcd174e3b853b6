// The peak memory of the command-line tool while it updates: each run is a child process, and its
// peak resident size comes from wait4's resource usage (the kernel's maximum RSS, as VmHWM).
//
//   vtc880-cli-memory
//
// Three runs: the demo's update (speed switch, modelled line, verify; the simulated device inside the
// tool), a 1 MiB image on a fast simulated line inside the tool, and the same image sent to a device in
// a vtc880-sim process of its own, where the figure is the updater's alone.

#include "BenchImage.h"
#include "DeviceProcess.h"
#include "ProcessFigures.h"

#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace vtc880;

namespace {

constexpr double goalBytes = 10e6;

struct ChildRun {
    int status = -1;
    long peakKiB = 0;
    double seconds = 0;
};

ChildRun runTool(std::vector<std::string> words) {
    words.insert(words.begin(), VTC880_TOOL);
    std::vector<char*> argv;
    for (std::string& w : words) {
        argv.push_back(w.data());
    }
    argv.push_back(nullptr);
    ChildRun run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = fork();
    if (child == 0) {
        // Its progress lines are not wanted here.
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, STDOUT_FILENO);
        dup2(devnull, STDERR_FILENO);
        execv(VTC880_TOOL, argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child > 0 && wait4(child, &status, 0, &usage) == child) {
        run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.peakKiB = usage.ru_maxrss;
    }
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
}

void print(const char* what, const ChildRun& run) {
    std::printf("%-58s %4d %8ld KiB %6.2f MB  %6.1f s  %s\n", what, run.status, run.peakKiB,
                run.peakKiB * 1024 / 1e6, run.seconds,
                run.status == 0 && run.peakKiB * 1024.0 < goalBytes ? "under 10 MB" : "MISSED");
}

} // namespace

int main() {
    std::printf("%s\n", machineDescription().c_str());
    std::printf("%-58s %4s %12s %9s  %8s\n", "vtc880 update ...", "exit", "peak RSS", "", "time");
    const BenchImage small(64 * 1024);
    const BenchImage large(1024 * 1024);
    print("64 KiB, --simulate --verify --line-model (the demo)",
          runTool({"update", small.path(), "--simulate", "--verify", "--line-model"}));
    print("1 MiB, --simulate --no-speed-switch (fast line)",
          runTool({"update", large.path(), "--simulate", "--no-speed-switch", "--erase-time-ms", "100"}));
    DeviceProcess device(VTC880_SIM_PROGRAM, {"--initial-speed", "115200", "--erase-time-ms", "100"});
    if (device.portPath().empty()) {
        std::printf("cannot start the simulated device\n");
        return 1;
    }
    print("1 MiB, --no-speed-switch, device in a vtc880-sim process",
          runTool({"update", large.path(), "--no-speed-switch", "--port", device.portPath()}));
    return 0;
}

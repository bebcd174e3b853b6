// The peak memory of the command-line tool while it updates: each run is a child process, and its
// peak resident size comes from wait4's resource usage (the kernel's maximum RSS, as VmHWM).
//
//   vtc880-cli-memory
//
// Three runs: the demo's update (speed switch, modelled line, verify; the simulated device inside the
// tool), a 1 MiB image on a fast simulated line inside the tool, and the same image sent to a device in
// a vtc880-sim process of its own, where the figure is the updater's alone. Then `vtc880 records` over
// generated record files of 10,000 and 100,000 records (a line's year), as a table and as CSV, and over
// the larger as ten files of a tenth each: its memory should not grow with the files.

#include "BenchImage.h"
#include "DeviceProcess.h"
#include "ProcessFigures.h"
#include "vtc880/DeviceRecord.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <iterator>
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

void print(const std::string& what, const ChildRun& run) {
    std::printf("%-58s %4d %8ld KiB %6.2f MB  %6.1f s  %s\n", what.c_str(), run.status, run.peakKiB,
                run.peakKiB * 1024 / 1e6, run.seconds,
                run.status == 0 && run.peakKiB * 1024.0 < goalBytes ? "under 10 MB" : "MISSED");
}

// Record files as stations write them: `files` files of `records` records in all, a device every 3 s
// over four slots, the usual mix of outcomes. Removed with the object.
class RecordFiles {
  public:
    RecordFiles(std::size_t records, std::size_t files) {
        char folder[] = "/tmp/vtc880-records-XXXXXX";
        if (::mkdtemp(folder) == nullptr) {
            return;
        }
        root = folder;
        ImageFacts image;
        image.path = "/srv/line/firmware-2.1.7.hex";
        image.bytes = 65560;
        image.dataBytes = 65536;
        image.sha256 = std::string(64, 'a');
        image.version = "2.1.7";
        const Outcome outcomes[] = {Outcome::succeeded,    Outcome::succeeded, Outcome::succeeded,
                                    Outcome::verifyFailed, Outcome::noAnswer,  Outcome::portLost};
        std::vector<std::FILE*> out;
        for (std::size_t f = 0; f < files; ++f) {
            paths.push_back(root + "/station-" + std::to_string(f + 1) + ".jsonl");
            out.push_back(std::fopen(paths.back().c_str(), "w"));
        }
        const auto day = std::chrono::system_clock::time_point{} + std::chrono::hours(24 * 365 * 55);
        for (std::size_t i = 0; i < records; ++i) {
            DeviceRecord record;
            record.end = day + std::chrono::seconds(3 * i);
            record.start = record.end - std::chrono::milliseconds(5300);
            record.host = "line-" + std::to_string(i % files + 1);
            record.slot = std::string("slot-") + char('A' + i % 4);
            record.port = "/dev/ttyUSB" + std::to_string(i % 4);
            record.byPath =
                "/dev/serial/by-path/pci-0000:00:14.0-usb-0:1." + std::to_string(i % 4 + 1) + ":1.0-port0";
            record.usbVendor = "0403";
            record.usbProduct = "6001";
            record.usbSerial = "A50" + std::to_string(100000 + i);
            record.image = image;
            record.result.outcome = outcomes[i % std::size(outcomes)];
            record.result.text = "updated with firmware-2.1.7.hex: 65,536 bytes, version 2.1.7, verified";
            std::FILE* file = out[i % files];
            if (file != nullptr) {
                std::fputs((recordLine(record) + "\n").c_str(), file);
            }
        }
        for (std::FILE* file : out) {
            if (file != nullptr) {
                std::fclose(file);
            }
        }
    }
    ~RecordFiles() {
        for (const std::string& path : paths) {
            std::remove(path.c_str());
        }
        if (!root.empty()) {
            ::rmdir(root.c_str());
        }
    }
    RecordFiles(const RecordFiles&) = delete;
    RecordFiles& operator=(const RecordFiles&) = delete;
    std::vector<std::string> paths;

  private:
    std::string root;
};

std::vector<std::string> recordsWords(const RecordFiles& files, bool csv) {
    std::vector<std::string> words{"records"};
    words.insert(words.end(), files.paths.begin(), files.paths.end());
    if (csv) {
        words.emplace_back("--csv");
    }
    return words;
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

    std::printf("\n%-58s %4s %12s %9s  %8s\n", "vtc880 records ...", "exit", "peak RSS", "", "time");
    for (const auto& [records, files] :
         {std::pair<std::size_t, std::size_t>{10000, 1}, {100000, 1}, {100000, 10}}) {
        const RecordFiles generated(records, files);
        const std::string what = std::to_string(records) + " records in " + std::to_string(files) +
                                 (files == 1 ? " file" : " files");
        print(what + ": the table", runTool(recordsWords(generated, false)));
        print(what + ": --csv", runTool(recordsWords(generated, true)));
    }
    return 0;
}

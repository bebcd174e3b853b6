// Updates against the simulated device on a modelled line, at 115200 and 921600 baud, with a 64 KiB and
// a 1 MiB image: each phase's time, programming throughput against the line's limit, write calls per
// frame, and CPU time over wall time while programming. The same runs with a byte-per-write sender that
// pauses 1 ms after every poll, for comparison.
//
//   vtc880-throughput [--quick] [--no-separate] [--no-byte-wise]
//
// --quick: the 64 KiB image only. The device runs in this process, and again as a vtc880-sim process of
// its own (unless --no-separate) so that its work does not count as the updater's.

#include "BenchImage.h"
#include "ByteWiseLink.h"
#include "DeviceProcess.h"
#include "PhaseObserver.h"
#include "ProcessFigures.h"
#include "sim/SimulatedDevice.h"
#include "vtc880/Command.h"
#include "vtc880/DeviceCodes.h"
#include "vtc880/UpdateRun.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace vtc880;

namespace {

constexpr std::int32_t announcedEraseMs = 200;

// Bytes of image per second the line can carry: 100 bytes per chunk of 117 bytes sent and 8 bytes of
// reply, 10 bits a byte.
double lineLimit(std::int32_t baud) {
    return baud / 10.0 * Chunk::maxBytes /
           (Chunk::maxPayload + Frame::sentHeaderSize + Frame::trailerSize + Frame::receivedHeaderSize +
            Frame::trailerSize);
}

double secondsBetween(PhaseObserver::Time from, PhaseObserver::Time to) {
    return std::chrono::duration<double>(to - from).count();
}

enum class Sender { updater, byteWise };
enum class Device { inProcess, separate };

struct Run {
    Sender sender;
    Device device;
    std::int32_t baud;
    std::uint32_t bytes;
};

// Runs the update as the updater does, on its one run type, at the speed under measurement: the device
// is there already, so no speed commands.
bool runUpdater(const std::string& port, std::int32_t baud, const BenchImage& image,
                PhaseObserver& observer) {
    Command command(port, baud, observer);
    UpdateRun run(command);
    RunSettings settings;
    settings.speedSwitch = false;
    settings.updateSpeed = baud;
    settings.imagePath = image.path();
    return run.perform(settings).outcome == Outcome::succeeded;
}

bool holds(const sim::SimulatedDevice& device, const FileCopy& image) {
    for (int b = 0; b < image.count; ++b) {
        const FileBlock& block = image.blocks[b];
        if (device.memory(block.address, block.size) !=
            std::vector<std::uint8_t>(block.data.get(), block.data.get() + block.size)) {
            return false;
        }
    }
    return true;
}

void measure(const Run& run) {
    const BenchImage image(run.bytes);
    const std::string speed = std::to_string(run.baud);
    std::unique_ptr<sim::SimulatedDevice> simulated;
    std::unique_ptr<DeviceProcess> process;
    std::string port;
    if (run.device == Device::inProcess) {
        sim::Config config;
        config.lineModel = true;
        config.initialSpeed = run.baud;
        config.eraseTimeMs = announcedEraseMs;
        simulated = std::make_unique<sim::SimulatedDevice>(config);
        if (simulated->start()) {
            port = simulated->portPath();
        }
    } else {
        process = std::make_unique<DeviceProcess>(VTC880_SIM_PROGRAM,
                                                  std::vector<std::string>{"--line-model", "--initial-speed",
                                                                           speed, "--erase-time-ms",
                                                                           std::to_string(announcedEraseMs)});
        port = process->portPath();
    }
    if (port.empty()) {
        std::printf("cannot start the simulated device\n");
        return;
    }

    PhaseObserver observer;
    const PhaseObserver::Time start = std::chrono::steady_clock::now();
    bool ok = run.sender == Sender::updater ? runUpdater(port, run.baud, image, observer)
                                            : runByteWise(port, run.baud, image, observer);
    if (simulated) {
        ok = ok && holds(*simulated, image.image());
    }
    const char* senderName = run.sender == Sender::updater ? "updater" : "byte-wise";
    const char* deviceName = run.device == Device::inProcess ? "in-process" : "process";
    if (!ok || !observer.connected || !observer.eraseStart || !observer.erased || !observer.programStart ||
        !observer.programEnd || !observer.endedAt) {
        std::printf("%-9s %-10s %7d %5u KiB  FAILED (last status: %s)\n", senderName, deviceName, run.baud,
                    run.bytes / 1024, observer.lastStatus.c_str());
        return;
    }
    const PhaseObserver::Mark& from = *observer.programStart;
    const PhaseObserver::Mark& to = *observer.programEnd;
    const double program = secondsBetween(from.at, to.at);
    const double programmed = double(run.bytes + 4);
    const double rate = programmed / program;
    const double writes = double(to.writeCalls - from.writeCalls) / image.chunks();
    std::printf(
        "%-9s %-10s %7d %5u KiB  %7.2f %6.2f %6.2f %8.2f %6.2f  %8.0f %8.0f %6.1f%%  %6.1f  %5.1f%% "
        "%5.1f%%\n",
        senderName, deviceName, run.baud, run.bytes / 1024, secondsBetween(start, *observer.connected),
        secondsBetween(*observer.eraseStart, *observer.erased), secondsBetween(*observer.erased, from.at),
        program, secondsBetween(to.at, *observer.endedAt), rate, lineLimit(run.baud),
        100.0 * rate / lineLimit(run.baud), writes, 100.0 * (to.threadCpu - from.threadCpu) / program,
        100.0 * (to.processCpu - from.processCpu) / program);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    bool quick = false, separate = true, byteWise = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--quick") == 0) {
            quick = true;
        } else if (std::strcmp(argv[i], "--no-separate") == 0) {
            separate = false;
        } else if (std::strcmp(argv[i], "--no-byte-wise") == 0) {
            byteWise = false;
        } else {
            std::fprintf(stderr, "usage: %s [--quick] [--no-separate] [--no-byte-wise]\n", argv[0]);
            return 2;
        }
    }
    std::printf("%s\n", machineDescription().c_str());
    std::printf(
        "line model on; device announces a %d ms erase; programming = first chunk sent to last reply\n\n",
        announcedEraseMs);
    std::printf("%-9s %-10s %7s %9s  %7s %6s %6s %8s %6s  %8s %8s %7s  %6s  %6s %6s\n", "sender", "device",
                "baud", "image", "connect", "erase", "hshake", "program", "end", "B/s", "limit", "ratio",
                "wr/frm", "cpu-w", "cpu-p");
    std::printf("%-9s %-10s %7s %9s  %7s %6s %6s %8s %6s\n", "", "", "", "", "s", "s", "s", "s", "s");
    std::vector<std::uint32_t> sizes{64 * 1024};
    if (!quick) {
        sizes.push_back(1024 * 1024);
    }
    for (const std::int32_t baud : {115200, 921600}) {
        for (const std::uint32_t bytes : sizes) {
            measure({Sender::updater, Device::inProcess, baud, bytes});
            if (separate) {
                measure({Sender::updater, Device::separate, baud, bytes});
            }
            if (byteWise) {
                measure({Sender::byteWise, Device::inProcess, baud, bytes});
            }
        }
    }
    return 0;
}

#pragma once

#include "vtc880/ScaledClock.h"
#include "sim/SimulatedDevice.h"
#include "vtc880/Json.h"
#include "vtc880/Station.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

using namespace vtc880;

using namespace std::chrono_literals;

// What a station reported, kept for the test thread to look at. Lines such as "arrived A",
// "start A", "phase A erase", "finished A succeeded", "image usable 2.1.7", "image refused",
// "notice ...".
class RecordingReport : public StationReport {
  public:
    struct Result {
        SlotPort where;
        RunResult result;
        std::string text;
    };

    void watching(const std::vector<std::string>&, const std::string&, bool polling) override;
    void image(const ImageFacts* facts, const std::string& path, const std::string& problem) override;
    void arrived(const SlotPort& port) override { add("arrived " + port.slotName); }
    void left(const SlotPort& port) override { add("left " + port.slotName); }
    void started(const SlotPort& port, const RunPlan&) override { add("start " + port.slotName); }
    void progress(const SlotPort& port, const DeviceEvent& event) override;
    void finished(const SlotPort& port, const RunResult& result, const std::string& text, double) override;
    void notice(const std::string& text) override { add("notice " + text); }
    void summary(const StationSummary& summary) override;

    std::vector<std::string> lines() const;
    std::vector<Result> results() const;
    std::size_t count(const std::string& line) const; // lines equal to `line`
    bool seen(const std::string& prefix) const;       // a line starts with `prefix`
    std::optional<StationSummary> summaryGiven() const;
    // Waits until the condition holds; false when `limit` passed first.
    bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = 30s) const;

  private:
    mutable std::mutex mutex;
    mutable std::condition_variable changed;
    std::vector<std::string> lines_;
    std::vector<Result> results_;
    std::optional<StationSummary> summary_;
    void add(const std::string& line);
};

// A station running on a thread of its own, on a clock whose pauses cost a twentieth.
class StationRun {
  public:
    StationRun(StationSettings settings, StationReport& report);
    ~StationRun(); // stops it (twice) and waits
    void requestStop() { ++requests; }
    int join(); // waits for the end; the station's exit status

  private:
    ScaledClock clock{20};
    Station station;
    std::atomic<int> requests{0};
    int handed = 0; // the station's thread only
    int status = -1;
    std::thread thread;
};

// A folder standing for /dev, with its serial/by-path folder for the sockets, an image and a record
// file beside it.
struct Bench {
    Bench();
    ~Bench();
    std::filesystem::path root;
    std::filesystem::path dev;
    std::string image;
    std::string records;

    // The by-path name of USB socket `n` of the bench's hub: "pci-0000:00:14.0-usb-0:1.N:1.0-port0".
    std::string socket(int n) const;
    std::string selector(int n) const;                                              // path:*usb-0:1.N:*
    StationSettings settings(std::vector<std::pair<std::string, int>> slots) const; // name, socket
    // A board plugged into socket `n` that stays.
    std::unique_ptr<sim::SimulatedDevice> plug(int n, sim::Config config = {}) const;
};

// The image the bench sends: a version block and two blocks; `seed` makes another image.
void writeTestImage(const std::string& path, std::uint8_t major, std::uint8_t seed = 0);
bool holdsTestImage(const sim::SimulatedDevice& device, std::uint8_t seed);
std::size_t framesOf(const std::vector<std::uint16_t>& frames, std::uint16_t code);

// The record file's lines, each read as JSON; a line that is not whole fails the test.
std::vector<Json> readRecordLines(const std::string& path);
std::string field(const Json& record, const std::string& key);

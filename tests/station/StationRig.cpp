#include "StationRig.h"

#include "../common/TempDirectory.h"
#include "vtc880/ImageFile.h"
#include "vtc880/ResultText.h"

#include <fstream>
#include <gtest/gtest.h>

using namespace vtc880;

namespace fs = std::filesystem;

void RecordingReport::add(const std::string& line) {
    {
        const std::lock_guard lock(mutex);
        lines_.push_back(line);
    }
    changed.notify_all();
}

void RecordingReport::watching(const std::vector<std::string>&, const std::string&, bool polling) {
    add(polling ? "watching by polling" : "watching");
}

void RecordingReport::image(const ImageFacts* facts, const std::string&, const std::string& problem) {
    add(facts ? "image usable " + facts->version : "image refused " + problem);
}

void RecordingReport::progress(const SlotPort& port, const DeviceEvent& event) {
    if (event.kind == DeviceEvent::Kind::phase) {
        add("phase " + port.slotName + " " + phaseName(event.phase));
    }
}

void RecordingReport::finished(const SlotPort& port, const RunResult& result, const std::string& text,
                               double) {
    {
        const std::lock_guard lock(mutex);
        results_.push_back({port, result, text});
    }
    add("finished " + port.slotName + " " + outcomeName(result.outcome));
}

void RecordingReport::summary(const StationSummary& summary) {
    {
        const std::lock_guard lock(mutex);
        summary_ = summary;
    }
    add("summary");
}

std::vector<std::string> RecordingReport::lines() const {
    const std::lock_guard lock(mutex);
    return lines_;
}

std::vector<RecordingReport::Result> RecordingReport::results() const {
    const std::lock_guard lock(mutex);
    return results_;
}

std::size_t RecordingReport::count(const std::string& line) const {
    const std::lock_guard lock(mutex);
    return std::size_t(std::count(lines_.begin(), lines_.end(), line));
}

bool RecordingReport::seen(const std::string& prefix) const {
    const std::lock_guard lock(mutex);
    return std::any_of(lines_.begin(), lines_.end(),
                       [&](const std::string& l) { return l.rfind(prefix, 0) == 0; });
}

std::optional<StationSummary> RecordingReport::summaryGiven() const {
    const std::lock_guard lock(mutex);
    return summary_;
}

bool RecordingReport::waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit) const {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        std::unique_lock lock(mutex);
        if (changed.wait_until(lock, std::min(end, std::chrono::steady_clock::now() + 50ms)) ==
                std::cv_status::timeout &&
            std::chrono::steady_clock::now() >= end) {
            lock.unlock();
            return condition();
        }
    }
    return true;
}

StationRun::StationRun(StationSettings settings, StationReport& report)
    : station(std::move(settings), report, clock) {
    thread = std::thread([this] {
        status = station.run([this] {
            if (requests.load() > handed) {
                ++handed;
                return true;
            }
            return false;
        });
    });
}

StationRun::~StationRun() {
    if (thread.joinable()) {
        requests = 2;
        thread.join();
    }
}

int StationRun::join() {
    if (thread.joinable()) {
        thread.join();
    }
    return status;
}

Bench::Bench() : root(makeTempDirectory("vtc880-station-")), dev(root / "dev") {
    fs::create_directories(dev / "serial" / "by-path");
    image = (root / "fw.hex").string();
    records = (root / "records.jsonl").string();
    writeTestImage(image, 2);
}

Bench::~Bench() {
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

std::string Bench::socket(int n) const {
    return (dev / "serial" / "by-path" / ("pci-0000:00:14.0-usb-0:1." + std::to_string(n) + ":1.0-port0"))
        .string();
}

std::string Bench::selector(int n) const {
    return "path:*usb-0:1." + std::to_string(n) + ":*";
}

StationSettings Bench::settings(std::vector<std::pair<std::string, int>> slots) const {
    StationSettings s;
    s.image = image;
    for (const auto& [name, n] : slots) {
        std::string problem;
        StationSlot slot = parseSlot(name + "=" + selector(n), problem);
        EXPECT_EQ(problem, "");
        s.slots.push_back(slot);
    }
    s.verify = true;
    s.roots.dev = dev.string();
    s.record = records;
    s.settle = 50ms;
    return s;
}

std::unique_ptr<sim::SimulatedDevice> Bench::plug(int n, sim::Config config) const {
    config.linkPath = socket(n);
    auto device = std::make_unique<sim::SimulatedDevice>(config);
    EXPECT_TRUE(device->start()) << device->startError();
    return device;
}

namespace {

std::vector<std::uint8_t> blockBytes(std::uint32_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::uint32_t k = 0; k < size; ++k) {
        bytes[k] = std::uint8_t(k * 7 + seed * 31 + 1);
    }
    return bytes;
}

constexpr std::pair<std::uint32_t, std::uint32_t> blocks[] = {{250, 0x100}, {301, 0x1000}};

} // namespace

void writeTestImage(const std::string& path, std::uint8_t major, std::uint8_t seed) {
    FileCopy image;
    blockAddVersion(image, 0x56000000u | std::uint32_t(major) << 16 | 0x0100u | seed, 0x50002);
    for (const auto& [size, address] : blocks) {
        const std::vector<std::uint8_t> bytes = blockBytes(size, seed);
        auto data = std::make_unique<std::uint8_t[]>(size);
        std::copy(bytes.begin(), bytes.end(), data.get());
        image.append(size, address, std::move(data));
    }
    ASSERT_EQ(firmwareCreate(path, image), 0);
}

bool holdsTestImage(const sim::SimulatedDevice& device, std::uint8_t seed) {
    for (const auto& [size, address] : blocks) {
        if (device.memory(address, size) != blockBytes(size, seed)) {
            return false;
        }
    }
    return true;
}

std::size_t framesOf(const std::vector<std::uint16_t>& frames, std::uint16_t code) {
    return std::size_t(std::count(frames.begin(), frames.end(), code));
}

std::vector<Json> readRecordLines(const std::string& path) {
    std::ifstream in(path);
    std::vector<Json> records;
    for (std::string line; std::getline(in, line);) {
        Json value = Json::parse(line, nullptr, false);
        EXPECT_FALSE(value.is_discarded()) << line;
        if (!value.is_discarded()) {
            EXPECT_EQ(field(value, "format"), "vtc880-record/2");
            records.push_back(std::move(value));
        }
    }
    return records;
}

std::string field(const Json& record, const std::string& key) {
    const auto value = record.find(key);
    if (value == record.end() || value->is_null()) {
        return "null";
    }
    if (value->is_number()) {
        return std::to_string(value->get<long long>());
    }
    return value->is_string() ? value->get<std::string>() : value->dump();
}

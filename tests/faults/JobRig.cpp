#include "JobRig.h"

#include "link/RS232.h"
#include "vtc880/DeviceCodes.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <unistd.h>
#include <vector>

using namespace vtc880;

const FileCopy& testImage() {
    static const FileCopy image = [] {
        FileCopy list;
        int b = 0;
        for (const auto& [size, address] : {std::pair{4u, 0x50002u}, {250u, 0x100u}, {51u, 0x200u}}) {
            auto data = std::make_unique<std::uint8_t[]>(size);
            for (std::uint32_t k = 0; k < size; ++k) {
                data[k] = std::uint8_t(k * 7 + b * 31 + 1);
            }
            list.append(size, address, std::move(data));
            ++b;
        }
        return list;
    }();
    return image;
}

void runOn(JobRun& run, Operation operation, bool verify, const std::string& port, const std::string& image) {
    RunSettings job;
    job.operation = operation;
    job.port = port;
    job.link = LinkKind::rs232;
    job.verifyBeforeFinish = verify;
    job.imagePath = image;
    ScaledClock clock(20);
    const std::atomic<bool> stop{false};
    const auto start = std::chrono::steady_clock::now();
    run.result = runDevice(job, run.sinks, stop, clock);
    run.took = std::chrono::steady_clock::now() - start;
}

std::size_t descriptorsOn(const std::string& path) {
    std::size_t n = 0;
    std::error_code ignored;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd", ignored)) {
        if (std::filesystem::read_symlink(entry.path(), ignored) == path) {
            ++n;
        }
    }
    return n;
}

bool reopens(const std::string& path) {
    const RS232 probe(path, Speed::update);
    return !probe.error;
}

namespace {

std::vector<std::uint8_t> bytesOf(const FileBlock& block) {
    return std::vector<std::uint8_t>(block.data.get(), block.data.get() + block.size);
}

} // namespace

bool holdsImage(const sim::SimulatedDevice& device, const FileCopy& image) {
    for (int b = 0; b < image.count; ++b) {
        const FileBlock& block = image.blocks[b];
        if (device.memory(block.address, block.size) != bytesOf(block)) {
            return false;
        }
    }
    return true;
}

bool erasedUnder(const sim::SimulatedDevice& device, const FileCopy& image) {
    for (int b = 0; b < image.count; ++b) {
        const FileBlock& block = image.blocks[b];
        if (device.memory(block.address, block.size) != std::vector<std::uint8_t>(block.size, 0xFF)) {
            return false;
        }
    }
    return true;
}

namespace {

bool holdsFirstBytes(const sim::SimulatedDevice& device, const FileCopy& image, std::uint64_t bytes) {
    for (int b = 0; b < image.count; ++b) {
        const FileBlock& block = image.blocks[b];
        std::vector<std::uint8_t> expected(block.size, 0xFF);
        const std::uint64_t kept = std::min<std::uint64_t>(bytes, block.size);
        std::copy(block.data.get(), block.data.get() + kept, expected.begin());
        bytes -= kept;
        if (device.memory(block.address, block.size) != expected) {
            return false;
        }
    }
    return true;
}

// Bytes of the chunk that starts `offset` bytes into the image (chunks never cross blocks).
std::uint64_t chunkAt(const FileCopy& image, std::uint64_t offset) {
    for (int b = 0; b < image.count; ++b) {
        if (offset < image.blocks[b].size) {
            return std::min<std::uint64_t>(Chunk::maxBytes, image.blocks[b].size - offset);
        }
        offset -= image.blocks[b].size;
    }
    return 0;
}

} // namespace

bool holdsAcknowledged(const sim::SimulatedDevice& device, const FileCopy& image, std::uint64_t bytes) {
    return holdsFirstBytes(device, image, bytes) ||
           holdsFirstBytes(device, image, bytes + chunkAt(image, bytes));
}

void preload(sim::SimulatedDevice& device, const FileCopy& image) {
    for (int b = 0; b < image.count; ++b) {
        device.setMemory(image.blocks[b].address, bytesOf(image.blocks[b]));
    }
}

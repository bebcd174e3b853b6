#include "sim/Transcript.h"

#include <array>

namespace sim {

struct Transcript::Block {
    std::array<Received, blockEntries> entries;
};

namespace {

std::size_t blocksFor(std::size_t entries) {
    return (entries + Transcript::blockEntries - 1) / Transcript::blockEntries;
}

std::size_t costOf(const Received& entry) {
    return sizeof(Received) + entry.text.size() + entry.data.size() +
           entry.byteTimes.size() * sizeof(entry.byteTimes[0]);
}

} // namespace

Transcript::Transcript(std::size_t maxEntries, std::size_t maxBytes)
    : maxEntries_(maxEntries), maxBytes_(maxBytes),
      blocks_(std::make_unique<std::atomic<Block*>[]>(blocksFor(maxEntries))) {
    for (std::size_t b = 0; b < blocksFor(maxEntries_); ++b)
        blocks_[b].store(nullptr, std::memory_order_relaxed);
}

Transcript::~Transcript() {
    for (std::size_t b = 0; b < blocksFor(maxEntries_); ++b)
        delete blocks_[b].load(std::memory_order_relaxed);
}

bool Transcript::append(Received entry) {
    const std::size_t index = size_.load(std::memory_order_relaxed);
    const std::size_t cost = costOf(entry);
    if (index >= maxEntries_ || cost > maxBytes_ - bytes_) {
        dropped_.fetch_add(1, std::memory_order_relaxed);
        return false;
    }
    std::atomic<Block*>& slot = blocks_[index / blockEntries];
    Block* block = slot.load(std::memory_order_relaxed);
    if (block == nullptr) {
        block = new Block;
        slot.store(block, std::memory_order_release);
    }
    block->entries[index % blockEntries] = std::move(entry);
    bytes_ += cost;
    size_.store(index + 1, std::memory_order_release);
    return true;
}

std::vector<Received> Transcript::from(std::size_t first) const {
    const std::size_t count = size();
    std::vector<Received> out;
    if (first >= count)
        return out;
    out.reserve(count - first);
    for (std::size_t i = first; i < count; ++i)
        out.push_back(blocks_[i / blockEntries].load(std::memory_order_acquire)->entries[i % blockEntries]);
    return out;
}

} // namespace sim

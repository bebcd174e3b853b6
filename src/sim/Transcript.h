#pragma once

#include "sim/Received.h"

#include <atomic>
#include <cstddef>
#include <memory>
#include <vector>

namespace sim {

// What the device received, in order. One thread appends; any thread reads. Entries are published
// through an atomic count and never change afterwards, so readers need no lock. Bounded in entries
// and in recorded bytes: once either limit is reached, further entries are counted but not kept.
class Transcript {
  public:
    static constexpr std::size_t blockEntries = 4096;
    static constexpr std::size_t defaultMaxEntries = 64 * blockEntries;
    static constexpr std::size_t defaultMaxBytes = std::size_t(64) << 20;

    explicit Transcript(std::size_t maxEntries = defaultMaxEntries, std::size_t maxBytes = defaultMaxBytes);
    ~Transcript();
    Transcript(const Transcript&) = delete;
    Transcript& operator=(const Transcript&) = delete;

    // Appending thread only. False when the entry was dropped because the transcript is full.
    bool append(Received entry);

    std::size_t size() const { return size_.load(std::memory_order_acquire); }
    std::size_t dropped() const { return dropped_.load(std::memory_order_relaxed); }
    std::vector<Received> from(std::size_t first) const;

  private:
    struct Block;
    std::size_t maxEntries_;
    std::size_t maxBytes_;
    std::unique_ptr<std::atomic<Block*>[]> blocks_;
    std::atomic<std::size_t> size_{0};
    std::atomic<std::size_t> dropped_{0};
    std::size_t bytes_ = 0; // appending thread only
};

} // namespace sim

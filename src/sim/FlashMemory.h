#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace sim {

// The device's flash: the whole byte range of 32-bit word addresses, with pages allocated as they are
// written. Erased bytes read 0xFF; programming can only clear bits (the new bytes are ANDed in).
// Before the first erase every byte holds a pattern that stands for the old firmware and is never
// 0xFF, so programming without erasing leaves wrong bytes behind. Bytes are atomics: the device
// thread writes while tests read or preload. At most maxPages pages are ever allocated.
class FlashMemory {
  public:
    static constexpr std::uint64_t size = std::uint64_t(1) << 33; // 2^32 words of two bytes
    static constexpr std::uint64_t pageSize = std::uint64_t(1) << 16;
    static constexpr std::size_t maxPages = 1024; // 64 MiB written in all

    FlashMemory();
    ~FlashMemory();
    FlashMemory(const FlashMemory&) = delete;
    FlashMemory& operator=(const FlashMemory&) = delete;

    static std::uint8_t oldFirmwareByte(std::uint64_t address);

    // False, changing nothing, when the range leaves the flash or needs more pages than are left.
    bool program(std::uint64_t address, const std::uint8_t* bytes, std::size_t count);
    bool overwrite(std::uint64_t address, const std::uint8_t* bytes, std::size_t count);
    bool equals(std::uint64_t address, const std::uint8_t* bytes, std::size_t count) const;
    void eraseAll();
    // Bytes beyond the end of the flash are left out.
    std::vector<std::uint8_t> read(std::uint64_t address, std::uint64_t count) const;

  private:
    std::uint8_t byteAt(std::uint64_t address) const;
    bool reserve(std::uint64_t address, std::size_t count);
    std::atomic<std::uint8_t>& cell(std::uint64_t address);

    static constexpr std::size_t pageCount = std::size_t(size / pageSize);
    std::unique_ptr<std::atomic<std::atomic<std::uint8_t>*>[]> pages_;
    std::atomic<std::size_t> allocated_{0};
    std::atomic<bool> erased_{false};
};

} // namespace sim

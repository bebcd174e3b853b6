#include "sim/FlashMemory.h"

namespace sim {

FlashMemory::FlashMemory() : pages_(std::make_unique<std::atomic<std::atomic<std::uint8_t>*>[]>(pageCount)) {
    for (std::size_t p = 0; p < pageCount; ++p)
        pages_[p].store(nullptr, std::memory_order_relaxed);
}

FlashMemory::~FlashMemory() {
    for (std::size_t p = 0; p < pageCount; ++p)
        delete[] pages_[p].load(std::memory_order_relaxed);
}

std::uint8_t FlashMemory::oldFirmwareByte(std::uint64_t address) {
    // The top bit is always clear, so no byte of it reads as erased.
    return std::uint8_t((address * 37 + (address >> 8) + 0x11) & 0x7F);
}

std::uint8_t FlashMemory::byteAt(std::uint64_t address) const {
    const std::atomic<std::uint8_t>* page = pages_[address / pageSize].load(std::memory_order_acquire);
    if (page != nullptr)
        return page[address % pageSize].load(std::memory_order_relaxed);
    return erased_.load(std::memory_order_relaxed) ? 0xFF : oldFirmwareByte(address);
}

bool FlashMemory::reserve(std::uint64_t address, std::size_t count) {
    if (address > size || count > size - address)
        return false;
    if (count == 0)
        return true;
    const std::uint64_t firstPage = address / pageSize;
    const std::uint64_t lastPage = (address + count - 1) / pageSize;
    for (std::uint64_t p = firstPage; p <= lastPage; ++p) {
        if (pages_[p].load(std::memory_order_acquire) != nullptr)
            continue;
        if (allocated_.fetch_add(1) >= maxPages) {
            allocated_.fetch_sub(1);
            return false;
        }
        auto* page = new std::atomic<std::uint8_t>[pageSize];
        const bool erased = erased_.load(std::memory_order_relaxed);
        for (std::uint64_t i = 0; i < pageSize; ++i)
            page[i].store(erased ? 0xFF : oldFirmwareByte(p * pageSize + i), std::memory_order_relaxed);
        std::atomic<std::uint8_t>* expected = nullptr;
        if (!pages_[p].compare_exchange_strong(expected, page, std::memory_order_acq_rel)) {
            delete[] page; // another thread got there first
            allocated_.fetch_sub(1);
        }
    }
    return true;
}

std::atomic<std::uint8_t>& FlashMemory::cell(std::uint64_t address) {
    return pages_[address / pageSize].load(std::memory_order_acquire)[address % pageSize];
}

bool FlashMemory::program(std::uint64_t address, const std::uint8_t* bytes, std::size_t count) {
    if (!reserve(address, count))
        return false;
    for (std::size_t i = 0; i < count; ++i)
        cell(address + i).fetch_and(bytes[i], std::memory_order_relaxed);
    return true;
}

bool FlashMemory::overwrite(std::uint64_t address, const std::uint8_t* bytes, std::size_t count) {
    if (!reserve(address, count))
        return false;
    for (std::size_t i = 0; i < count; ++i)
        cell(address + i).store(bytes[i], std::memory_order_relaxed);
    return true;
}

bool FlashMemory::equals(std::uint64_t address, const std::uint8_t* bytes, std::size_t count) const {
    if (address > size || count > size - address)
        return false;
    for (std::size_t i = 0; i < count; ++i)
        if (byteAt(address + i) != bytes[i])
            return false;
    return true;
}

void FlashMemory::eraseAll() {
    erased_.store(true, std::memory_order_relaxed);
    for (std::size_t p = 0; p < pageCount; ++p)
        if (std::atomic<std::uint8_t>* page = pages_[p].load(std::memory_order_acquire))
            for (std::uint64_t i = 0; i < pageSize; ++i)
                page[i].store(0xFF, std::memory_order_relaxed);
}

std::vector<std::uint8_t> FlashMemory::read(std::uint64_t address, std::uint64_t count) const {
    std::vector<std::uint8_t> out;
    if (address >= size)
        return out;
    if (count > size - address)
        count = size - address;
    out.reserve(count);
    for (std::uint64_t i = 0; i < count; ++i)
        out.push_back(byteAt(address + i));
    return out;
}

} // namespace sim

#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace vtc880 {

// One run of image bytes to be placed at a device address.
struct FileBlock {
    std::uint32_t size = 0;
    std::uint32_t address = 0; // in 16-bit words, as the device counts
    std::unique_ptr<std::uint8_t[]> data;
};

// The in-memory firmware image: a fixed table of blocks, of which the first `count` are in use.
struct FileCopy {
    static constexpr int maxBlocks = 64;

    std::int32_t count = 0;
    std::array<FileBlock, maxBlocks> blocks;

    bool full() const { return count >= maxBlocks; }
    // Takes ownership of `data`; the caller has checked that the table is not full.
    void append(std::uint32_t size, std::uint32_t address, std::unique_ptr<std::uint8_t[]> data);
    // Sum of the sizes of the blocks in use.
    std::uint64_t totalSize() const;
};

// Largest source file a block can be built from.
constexpr std::uint32_t maxSourceSize = 1024 * 1024;

enum class BlockAddStatus { ok, cannotOpen, readError, tooLarge, tableFull };

// Appends the whole file at `path` as one block at `address`; on any failure nothing is added.
BlockAddStatus addSourceBlock(FileCopy& list, const std::string& path, std::uint32_t address);

// The same, as 0 when the block was added and -1 otherwise.
int blockAddFile(FileCopy& list, const std::string& path, std::uint32_t address);

// Appends a 4-byte block holding `version` little-endian. -1 (nothing added) only when the table is full.
int blockAddVersion(FileCopy& list, std::uint32_t version, std::uint32_t address);

} // namespace vtc880

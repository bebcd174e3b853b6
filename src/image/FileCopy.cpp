#include "vtc880/FileCopy.h"

#include "vtc880/LittleEndian.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace vtc880 {

void FileCopy::append(std::uint32_t size, std::uint32_t address, std::unique_ptr<std::uint8_t[]> data) {
    FileBlock& block = blocks[count];
    block.size = size;
    block.address = address;
    block.data = std::move(data);
    ++count;
}

std::uint64_t FileCopy::totalSize() const {
    std::uint64_t total = 0;
    for (int i = 0; i < count; ++i) {
        total += blocks[i].size;
    }
    return total;
}

BlockAddStatus addSourceBlock(FileCopy& list, const std::string& path, std::uint32_t address) {
    if (list.full()) {
        return BlockAddStatus::tableFull;
    }
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return BlockAddStatus::cannotOpen;
    }
    // One byte more than allowed, so that an oversized source is seen without reading all of it.
    std::vector<std::uint8_t> bytes(maxSourceSize + 1);
    const std::size_t total = std::fread(bytes.data(), 1, bytes.size(), file);
    const bool readError = std::ferror(file) != 0;
    std::fclose(file);
    if (readError) {
        return BlockAddStatus::readError;
    }
    if (total > maxSourceSize) {
        return BlockAddStatus::tooLarge;
    }
    auto data = std::make_unique<std::uint8_t[]>(total);
    std::memcpy(data.get(), bytes.data(), total);
    list.append(std::uint32_t(total), address, std::move(data));
    return BlockAddStatus::ok;
}

int blockAddFile(FileCopy& list, const std::string& path, std::uint32_t address) {
    return addSourceBlock(list, path, address) == BlockAddStatus::ok ? 0 : -1;
}

int blockAddVersion(FileCopy& list, std::uint32_t version, std::uint32_t address) {
    if (list.full()) {
        return -1;
    }
    auto data = std::make_unique<std::uint8_t[]>(4);
    le::put32(data.get(), version);
    list.append(4, address, std::move(data));
    return 0;
}

} // namespace vtc880

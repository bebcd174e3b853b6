#include "cli/ImageVersion.h"

#include "image/ImageBuilder.h"

std::string imageVersion(std::uint32_t address, std::uint32_t size, const std::uint8_t* data) {
    if (address != versionAddress || size != 4 || data == nullptr || data[3] != 0x56) {
        return {};
    }
    return std::to_string(data[2]) + "." + std::to_string(data[1]) + "." + std::to_string(data[0]);
}

std::string imageVersion(const FileCopy& image) {
    for (int b = 0; b < image.count; ++b) {
        const FileBlock& block = image.blocks[std::size_t(b)];
        if (std::string version = imageVersion(block.address, block.size, block.data.get());
            !version.empty()) {
            return version;
        }
    }
    return {};
}

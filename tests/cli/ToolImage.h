#pragma once

#include "../image/TempDir.h"
#include "vtc880/FileCopy.h"
#include "vtc880/ImageBuilder.h"
#include "vtc880/ImageFile.h"

#include <string>
#include <utility>

using namespace vtc880;

// Writes the image the device-command tests send: the version block (2.1.7), a 250-byte block at word
// 0x100 and `lastBlock` bytes at word 0x1000; three blocks, five chunks with the default last block.
inline bool writeToolImage(const std::string& path, std::uint32_t lastBlock = 301) {
    FileCopy image;
    blockAddVersion(image, versionWord("2.1.7"), versionAddress);
    for (const auto& [size, address] : {std::pair{250u, 0x100u}, std::pair{lastBlock, 0x1000u}}) {
        auto data = std::make_unique<std::uint8_t[]>(size);
        const std::vector<std::uint8_t> bytes = pattern(size, std::uint8_t(address));
        std::copy(bytes.begin(), bytes.end(), data.get());
        image.append(size, address, std::move(data));
    }
    return firmwareCreate(path, image) == 0;
}

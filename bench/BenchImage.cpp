#include "BenchImage.h"

#include "vtc880/DeviceCodes.h"
#include "vtc880/ImageFile.h"

#include <memory>
#include <random>
#include <stdexcept>
#include <stdlib.h>

using namespace vtc880;

BenchImage::BenchImage(std::uint32_t bytes) {
    auto version = std::make_unique<std::uint8_t[]>(4);
    version[0] = 0;
    version[1] = 1;
    version[2] = 2;
    version[3] = 'V';
    list.append(4, 0x50002, std::move(version));
    auto data = std::make_unique<std::uint8_t[]>(bytes);
    std::mt19937 random(880);
    for (std::uint32_t k = 0; k < bytes; ++k) {
        data[k] = std::uint8_t(random());
    }
    list.append(bytes, 0x80000, std::move(data));

    std::string pattern = (std::filesystem::temp_directory_path() / "vtc880-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("cannot make a temporary folder");
    }
    dir = pattern;
    file = dir / "firmware.hex";
    if (firmwareCreate(file.string(), list) != 0) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

BenchImage::~BenchImage() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

int BenchImage::chunks() const {
    int n = 0;
    for (int b = 0; b < list.count; ++b) {
        n += int((list.blocks[b].size + Chunk::maxBytes - 1) / Chunk::maxBytes);
    }
    return n;
}

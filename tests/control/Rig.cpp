#include "Rig.h"

#include <algorithm>
#include <memory>

using namespace vtc880;

FileCopy makeImage(std::initializer_list<BlockLayout> blocks) {
    FileCopy image;
    int b = 0;
    for (const BlockLayout& layout : blocks) {
        auto data = std::make_unique<std::uint8_t[]>(layout.size);
        for (std::uint32_t k = 0; k < layout.size; ++k) {
            data[k] = std::uint8_t(k * 7 + b * 31 + 1);
        }
        image.append(layout.size, layout.address, std::move(data));
        ++b;
    }
    return image;
}

std::vector<std::string> callsAfter(const RecordingSinks& sinks, const std::string& call) {
    const std::vector<std::string> all = sinks.all();
    auto it = std::find(all.begin(), all.end(), call);
    if (it == all.end()) {
        return {};
    }
    return std::vector<std::string>(it + 1, all.end());
}

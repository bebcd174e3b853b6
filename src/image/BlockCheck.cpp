#include "vtc880/BlockCheck.h"

#include <algorithm>

namespace vtc880 {

std::uint64_t blockLastWord(const FileBlock& block) {
    return std::uint64_t(block.address) + (std::uint64_t(block.size) + 1) / 2 - 1;
}

std::vector<BlockFault> checkBlocks(const FileCopy& list) {
    std::vector<BlockFault> faults;
    if (list.totalSize() == 0) {
        faults.push_back({BlockFault::Kind::empty});
        return faults;
    }
    for (int i = 0; i < list.count; ++i) {
        const FileBlock& block = list.blocks[i];
        if (block.size > 0 && blockLastWord(block) > lastDeviceWord) {
            faults.push_back({BlockFault::Kind::pastLastWord, i, -1, block.address, blockLastWord(block)});
        }
    }
    // At most 64 blocks: every pair is cheap, and naming each pair helps more than a sorted sweep.
    for (int i = 0; i < list.count; ++i) {
        const FileBlock& a = list.blocks[i];
        for (int j = i + 1; j < list.count && a.size > 0; ++j) {
            const FileBlock& b = list.blocks[j];
            if (b.size == 0) {
                continue;
            }
            const std::uint64_t first = std::max<std::uint64_t>(a.address, b.address);
            const std::uint64_t last = std::min(blockLastWord(a), blockLastWord(b));
            if (first <= last) {
                faults.push_back({BlockFault::Kind::overlap, i, j, first, last});
            }
        }
    }
    return faults;
}

} // namespace vtc880

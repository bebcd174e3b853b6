#include "vtc880/BlockCheck.h"
#include "vtc880/ImageCheck.h"
#include "vtc880/ImageFile.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>
#include <utility>
#include <vector>

using namespace vtc880;

namespace {

// The checks restated the plain way, so that the fuzzer compares two readings of the rules: words
// as 64-bit ranges, sorted, each starting after the one before ends.
bool sendable(const FileCopy& list) {
    std::vector<std::pair<std::uint64_t, std::uint64_t>> words;
    for (int i = 0; i < list.count; ++i) {
        const FileBlock& block = list.blocks[i];
        if (block.size > 0) {
            words.emplace_back(block.address, block.address + (std::uint64_t(block.size) + 1) / 2 - 1);
        }
    }
    std::sort(words.begin(), words.end());
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i].second > 0xFFFFFFFFu || (i > 0 && words[i].first <= words[i - 1].second)) {
            return false;
        }
    }
    return !words.empty();
}

} // namespace

// Any file as a firmware image: either it is read whole, and its blocks add up to the file, or it is
// refused and the list is left as it was. What loadImage accepts has at least one byte, no block past
// the last word and no two blocks on the same word; what it refuses comes with a sentence.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const int fd = memfd_create("image", 0);
    if (fd < 0 || write(fd, bytes, size) != ssize_t(size)) {
        std::abort();
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    FileCopy list;
    blockAddVersion(list, 0x56010203, 0x50002);
    const ImageReadResult result = readImageFile(path, list);
    if (result.status == ImageReadStatus::ok) {
        if (result.offset != size || list.count > FileCopy::maxBlocks) {
            std::abort();
        }
    } else if (list.count != 1 || result.offset >= size + 1) {
        std::abort();
    }

    FileCopy image;
    blockAddVersion(image, 0x56010203, 0x1234); // must be gone after the load
    const LoadedImage loaded = loadImage(path, image);
    close(fd);
    if (loaded.ok() != loaded.problem.empty() || loaded.ok() != (loaded.fault == ImageFault::none)) {
        std::abort();
    }
    if (loaded.ok()) {
        if (result.status != ImageReadStatus::ok || image.count != list.count - 1 || image.totalSize() == 0 ||
            !sendable(image) || !checkBlocks(image).empty()) {
            std::abort();
        }
    } else if (result.status == ImageReadStatus::ok && (loaded.blockFaults.empty() || sendable(image))) {
        std::abort();
    }
    if (result.status != ImageReadStatus::ok && image.count != 0) {
        std::abort();
    }
    return 0;
}

#include "image/ImageFile.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

// Any file as a firmware image: either it is read whole, and its blocks add up to the file, or it is
// refused and the list is left as it was.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const int fd = memfd_create("image", 0);
    if (fd < 0 || write(fd, bytes, size) != ssize_t(size)) {
        std::abort();
    }
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    FileCopy list;
    blockAddVersion(list, 0x56010203, 0x50002);
    const ImageReadResult result = readImageFile(path, list);
    close(fd);
    if (result.status == ImageReadStatus::ok) {
        if (result.offset != size || list.count > FileCopy::maxBlocks) {
            std::abort();
        }
    } else if (list.count != 1 || result.offset >= size + 1) {
        std::abort();
    }
    return 0;
}

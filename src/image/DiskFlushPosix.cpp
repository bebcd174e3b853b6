#include "image/DiskFlush.h"

#include <unistd.h>

namespace vtc880 {

bool flushToDisk(std::FILE* file) {
    return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

} // namespace vtc880

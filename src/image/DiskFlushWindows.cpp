#include "image/DiskFlush.h"

#include <io.h>

namespace vtc880 {

bool flushToDisk(std::FILE* file) {
    return std::fflush(file) == 0 && _commit(_fileno(file)) == 0;
}

} // namespace vtc880

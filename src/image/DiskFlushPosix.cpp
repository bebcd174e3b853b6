#include "image/DiskFlush.h"

#include <unistd.h>

bool flushToDisk(std::FILE* file) {
    return std::fflush(file) == 0 && fsync(fileno(file)) == 0;
}

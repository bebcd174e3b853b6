#pragma once

#include <cstdio>

namespace vtc880 {

// Writes the stream's buffer and asks the system to put the file's data on the disk before returning.
// False if either step fails.
bool flushToDisk(std::FILE* file);

} // namespace vtc880

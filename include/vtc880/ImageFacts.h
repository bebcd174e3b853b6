#pragma once

#include "vtc880/FileCopy.h"

#include <cstdint>
#include <optional>
#include <string>

namespace vtc880 {

// An image file as it was read for a run: what a record says the device was sent.
struct ImageFacts {
    std::string path;
    std::uint64_t bytes = 0;     // the file's size
    std::string sha256;          // of the file's bytes, lower-case hexadecimal
    std::string version;         // of its version block; empty when it has none
    std::uint64_t dataBytes = 0; // what an update sends: the blocks' bytes
};

// Reads `path` whole. Returns nothing when it cannot be read, or is a directory.
std::optional<std::string> readWholeFile(const std::string& path);
// The facts of an image file whose bytes were read as `bytes` and loaded as `image`.
ImageFacts imageFacts(const std::string& path, const std::string& bytes, const FileCopy& image);

} // namespace vtc880

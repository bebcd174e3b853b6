#pragma once

#include "vtc880/BlockCheck.h"
#include "vtc880/FileCopy.h"

#include <string>
#include <vector>

namespace vtc880 {

// Why an image file cannot be sent, as a kind for code; the sentence for a person is in `problem`.
enum class ImageFault {
    none,
    cannotOpen,    // empty path, missing or unreadable file
    directory,     // a directory, not a file
    textFile,      // Intel HEX or S-record text, not the binary image
    readError,     // the system failed a read
    truncated,     // the file ends inside a record
    tooManyBlocks, // more blocks than an image holds
    empty,         // nothing to program: no block, or no block holds a byte
    pastLastWord,  // a block runs past the device's last word
    overlap,       // two blocks claim the same words
};

// An image file as an update will send it: read whole and checked before anything reaches a device.
struct LoadedImage {
    ImageFault fault = ImageFault::none; // the first fault found
    // For a person: what is wrong with the file and what to do about it. Empty when it can be sent.
    std::string problem;
    // Every fault of the block checks, when the file was read whole (the first is `problem`).
    std::vector<BlockFault> blockFaults;
    bool ok() const { return problem.empty(); }
};

// Reads `path` into `image` (emptied first) and checks that it can be sent as it is: a readable file
// of whole records, with at least one byte to program, no block past the last word and no two
// blocks on the same word. When the block checks refuse it, `image` still holds what was read.
// Every front end reads the image it sends, verifies or shows through this one call.
LoadedImage loadImage(const std::string& path, FileCopy& image);

} // namespace vtc880

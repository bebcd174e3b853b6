#pragma once

#include "vtc880/BlockCheck.h"
#include "vtc880/ImageFile.h"

#include <cstdint>
#include <string>

namespace vtc880 {

// What is wrong with an image file, for a person: what it is and what to do. The window and the
// command-line tool show these same texts.

// Why the file could not be read whole: empty when it was.
std::string imageProblem(const ImageReadResult& result);

// Files that are not firmware images at all.
std::string directoryProblem();
std::string intelHexProblem();
std::string sRecordProblem();

// An image that would program nothing: `emptyFile` when the file has no byte at all.
std::string emptyImageProblem(bool emptyFile);

// A fault of the block checks in an image read from a file; blocks are named by word and size.
std::string blockProblem(const BlockFault& fault, const FileCopy& list);

// A word address as the tool shows it: 0x and at least five hexadecimal digits.
std::string hexWord(std::uint64_t word);

} // namespace vtc880

#pragma once

#include "vtc880/FileCopy.h"

#include <cstdint>
#include <vector>

namespace vtc880 {

// What a block list must be before it is written or sent: something to program, every block inside
// the device's word addresses, and no word claimed by two blocks. The packer and the image reader
// both judge with this, so an image the packer writes is one an update accepts.

// The device counts 32-bit word addresses; a chunk's address is computed in 32 bits, so a block
// that runs past this word sends the rest of its bytes to word 0 and up.
constexpr std::uint64_t lastDeviceWord = 0xFFFFFFFF;

struct BlockFault {
    enum class Kind {
        empty,        // no block, or no block holds a byte
        pastLastWord, // `block` runs past lastDeviceWord
        overlap,      // `block` and `other` claim the same words
    };
    Kind kind = Kind::empty;
    int block = -1;
    int other = -1;
    // pastLastWord: the words the block covers; overlap: the words both blocks cover.
    std::uint64_t firstWord = 0;
    std::uint64_t lastWord = 0;
};

// The last word a block of at least one byte covers: two bytes a word, a last odd byte taking a
// word of its own. In 64 bits, so that a block past lastDeviceWord shows as such.
std::uint64_t blockLastWord(const FileBlock& block);

// Every fault of the list, in block order; empty when the list can be sent. Blocks without bytes
// program nothing and claim no word.
std::vector<BlockFault> checkBlocks(const FileCopy& list);

} // namespace vtc880

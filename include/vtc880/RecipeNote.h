#pragma once

#include <cstdint>
#include <string>

namespace vtc880 {

// What building an image from a recipe found wrong, and which findings stop the image from being
// written.

enum class RecipeProblem {
    recipeMissing,      // the recipe cannot be read
    recipeTooLarge,     // the file is far larger than any recipe: not read
    recipeLineTooLong,  // a line is too long to be read faithfully
    controlCharacter,   // a line holds a control character
    brokenSection,      // a section header that is not [NAME]
    unknownSection,     // a section other than VERSION, INPUT and RESULT: its keys are never read
    repeatedSection,    // a section a second time: the Windows reader never reads the second one
    lineWithoutEquals,  // a line that is neither a comment, a header nor KEY=value
    outsideSection,     // KEY=value before the first section header
    commentBehindValue, // KEY=value ;comment: the readers disagree on the value
    unknownKey,         // a key that is not one of its section's
    keyNeverRead,       // SOURCE_n or ADDRESS_n behind a gap in the numbering
    valueTooLong,       // a value longer than the recipe reads: it would be cut
    versionNotNumbers,  // VERSION VALUE is not one to three numbers with dots between
    addressNotHex,      // ADDRESS_n is not wholly hexadecimal
    addressTooLarge,    // an address does not fit 32 bits
    sourceMissing,      // a listed source cannot be opened or read
    sourceTooLarge,     // a listed source is over maxSourceSize
    tooManyBlocks,      // the sources and the version block do not fit the block table
    overlappingBlocks,  // two blocks claim the same device words
    pastLastWord,       // a block runs past the device's last word and would wrap to word 0
    noResult,           // no result path: nothing is written
    resultNotWritable,  // the image could not be written
};

struct RecipeNote {
    RecipeProblem problem = RecipeProblem::recipeMissing;
    int index = 0;         // the source number (0: the version block); for keyNeverRead, the key's number
    std::string text = {}; // the path, value, key, section name or line concerned
    int line = 0;          // the recipe's line, 0 when there is none
    // A second party: the other block's source number and path (overlappingBlocks); the first line
    // of the section (repeatedSection); the section of the key (unknownKey); the last source read
    // (keyNeverRead).
    int other = 0;
    std::string otherText = {};
    // overlappingBlocks: the words both blocks cover; pastLastWord: the words the block covers.
    std::uint64_t firstWord = 0;
    std::uint64_t lastWord = 0;
};

// How strictly a recipe is taken.
enum class RecipeReading {
    // `vtc880 pack`: anything the recipe leaves in doubt stops the image.
    strict,
    // The updater's packaging mode: the recipe format's own rules where they give an answer (a cut
    // value, a number read up to its first stray character, the previous address for one that is
    // not hexadecimal, blocks on the same words as the recipe places them); it still writes nothing
    // where a source or a line of the recipe would be lost, or a block would wrap.
    lenient,
};

// Whether `problem` stops the image from being written.
bool preventsWriting(RecipeProblem problem, RecipeReading reading);

} // namespace vtc880

#pragma once

#include "image/FileCopy.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Builds a firmware image file from a recipe (an INI file):
//   [VERSION] VALUE=major.minor.patch
//   [INPUT]   SOURCE_1=path  ADDRESS_1=hex word address  (then _2, _3 ... until a SOURCE is missing)
//   [RESULT]  VALUE=path of the image to write
// The image starts with a version block at versionAddress.

constexpr std::uint32_t versionAddress = 0x50002;

enum class RecipeProblem {
    recipeMissing,     // the recipe cannot be read
    recipeLineTooLong, // a line of the recipe is too long to be read faithfully
    sourceMissing,     // a listed source cannot be opened or read
    sourceTooLarge,    // a listed source is over maxSourceSize
    addressNotHex,     // an address is not hexadecimal: the previous address is used
    addressTooLarge,   // an address does not fit 32 bits
    tooManyBlocks,     // the sources and the version block do not fit the block table
    noResult,          // no result path: nothing is written
    resultNotWritable, // the image could not be written
};

struct RecipeNote {
    RecipeProblem problem;
    int index = 0;    // the source number, or the recipe's line for recipeLineTooLong
    std::string text; // the path or value concerned
};

// Problems after which the image would be incomplete or wrong, so nothing is written.
bool preventsWriting(RecipeProblem problem);

struct RecipeOutcome {
    std::vector<RecipeNote> problems;
    std::string resultPath;
    bool written = false;
    FileCopy image;
};

// `resultPath`, when not empty, replaces the recipe's RESULT/VALUE.
RecipeOutcome buildImage(const std::string& recipePath, const std::string& resultPath = {});

// The packaging mode of the updater: builds the image and reports nothing.
void ExtractIni(const std::string& recipePath);

// "%d.%d.%d" as the version word 'V', major, minor, patch (low 8 bits of each; missing numbers are 0).
std::uint32_t versionWord(const std::string& text);

// "%x" with an optional 0x prefix, stopping at the first non-hexadecimal character. Empty when there
// is no hexadecimal digit; `tooLarge` is set when the number does not fit 32 bits.
std::optional<std::uint32_t> parseHexAddress(const std::string& text, bool& tooLarge);

#pragma once

#include "vtc880/FileCopy.h"
#include "vtc880/RecipeNote.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vtc880 {

// Builds a firmware image file from a recipe (an INI file):
//   [VERSION] VALUE=major.minor.patch
//   [INPUT]   SOURCE_1=path  ADDRESS_1=hex word address  (then _2, _3 ... until a SOURCE is missing)
//   [RESULT]  VALUE=path of the image to write
// The image starts with a version block at versionAddress.

constexpr std::uint32_t versionAddress = 0x50002;

struct RecipeOutcome {
    std::vector<RecipeNote> problems;
    std::string resultPath;
    bool written = false;
    FileCopy image;
};

// `resultPath`, when not empty, replaces the recipe's RESULT/VALUE. Nothing is written when a problem
// found prevents it (preventsWriting); an existing result file is then left as it was.
RecipeOutcome buildImage(const std::string& recipePath, RecipeReading reading,
                         const std::string& resultPath = {});

// The packaging mode of the updater: builds the image (RecipeReading::lenient) and reports nothing.
void ExtractIni(const std::string& recipePath);

// "%d.%d.%d" as the version word 'V', major, minor, patch (low 8 bits of each; missing numbers are 0).
std::uint32_t versionWord(const std::string& text);

// The version a version block holds, as "major.minor.patch": 4 bytes at versionAddress holding patch,
// minor, major and 'V'. Empty for any other block.
std::string versionText(std::uint32_t address, std::uint32_t size, const std::uint8_t* data);
// The version of an image: that of its first version block (the packer puts it first); empty when it
// has none.
std::string imageVersion(const FileCopy& image);

// "%x" with an optional 0x prefix, stopping at the first non-hexadecimal character. Empty when there
// is no hexadecimal digit; `tooLarge` is set when the number does not fit 32 bits.
std::optional<std::uint32_t> parseHexAddress(const std::string& text, bool& tooLarge);

} // namespace vtc880

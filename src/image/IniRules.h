#pragma once

#include <cstddef>

namespace vtc880 {

// The limits within which a recipe is read.

// The longest line a recipe may hold, line end not counted; a longer one is refused, unless it is a
// comment, which nothing reads. Recipes have always been held to it (earlier versions of the tool
// read no longer lines on Linux), so a recipe that packs now packs with them as well.
constexpr std::size_t iniLongestLine = 198;

// A recipe is a few dozen short lines; a larger file is not one, and is not read into memory.
constexpr std::size_t iniLargestFile = 1024 * 1024;

} // namespace vtc880

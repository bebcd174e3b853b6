#pragma once

#include "vtc880/RecipeNote.h"

#include <string>

namespace vtc880 {

// A problem of a recipe in words, with its line and what to change: "r.ini line 4: ADDRESS_1: 'x' is
// not hexadecimal: write the word address as, for example, 1000 or 0x1000".
std::string recipeProblemText(const RecipeNote& note, const std::string& recipe);

} // namespace vtc880

#pragma once

#include "image/IniText.h"
#include "image/RecipeNote.h"

#include <string>
#include <vector>

namespace vtc880 {

// The recipe's own names: the sections VERSION, INPUT and RESULT, each once; the key VALUE in VERSION
// and RESULT; SOURCE_n and ADDRESS_n in INPUT, n a number from 1 without leading zeros. Names match
// without regard to case.

// A note, in line order, for every line of the recipe that a reader would drop or that the two
// readers would read differently, and for every section or key that is not the recipe's.
std::vector<RecipeNote> checkRecipeText(const IniText& text);

// A note for every SOURCE_n and ADDRESS_n with n past `lastRead`: the numbering stopped before them.
std::vector<RecipeNote> unreadSourceKeys(const IniText& text, int lastRead);

// The line of `key` in `section` that the readers take: the first, in the first section of that name.
// 0 when there is none, or when the scan refused every line that holds the key.
int recipeLine(const IniText& text, const std::string& section, const std::string& key);

} // namespace vtc880

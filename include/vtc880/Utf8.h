#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vtc880 {

// Text as it reaches a terminal or a JSON string: valid UTF-8. Each maximal invalid subsequence (the
// Unicode "maximal subpart" practice, as Python's errors="replace" and nlohmann-json do) becomes U+FFFD.
// Overlong forms, surrogates (ED A0..BF ..), code points above U+10FFFF, stray continuation bytes and a
// sequence cut by the end of the text are invalid.
std::string validUtf8(std::string_view text);

// Text for a person on a terminal: validUtf8(), then every control character (U+0000..U+001F, U+007F,
// and the C1 controls U+0080..U+009F) shown as '?', so nothing can move the cursor or change colours.
std::string printable(std::string_view text);

// The terminal columns `text` takes once printable(): East Asian Wide and Fullwidth characters (CJK,
// Hangul syllables, fullwidth forms, most emoji in the U+1F300..U+1FAFF blocks, etc.) count 2; combining
// marks (general categories Mn, Me), U+200B..U+200F, U+2028..U+202E, U+2060..U+2064, U+FEFF and
// variation selectors count 0; everything else 1 (U+FFFD counts 1).
std::size_t columns(std::string_view text);

// The longest start of printable(text) that fits in `width` columns, cut only between characters, and
// never between a character and the zero-width marks that follow it (they stay with it, or go with it).
std::string headColumns(std::string_view text, std::size_t width);
// The longest end of printable(text) that fits in `width` columns, cut likewise (a run of zero-width
// marks at the cut goes with the character before it, i.e. is dropped with it).
std::string tailColumns(std::string_view text, std::size_t width);
// printable(text) followed by blanks up to `width` columns (nothing added when it is wider already).
std::string padColumns(std::string_view text, std::size_t width);

// ASCII case folding, the one place the project folds case (names such as COM1/com1, section and key
// names of INI files, hexadecimal ids): only 'A'..'Z' change; other bytes (UTF-8 included) stay as they are.
char asciiLower(char c);
std::string asciiLower(std::string_view text);
bool equalsIgnoringAsciiCase(std::string_view a, std::string_view b);

} // namespace vtc880

#pragma once

#include <cstddef>
#include <string>

namespace vtc880 {

// What every recipe reader applies, so that a recipe reads the same on every system.

// The reader on Linux takes lines of at most 198 characters, line end not counted, and would misread
// a longer one; so a longer line is refused on every system, unless it is a comment (whose loss is
// harmless).
constexpr std::size_t iniLongestLine = 198;

// A recipe is a few dozen short lines; a larger file is not one, and is not read into memory.
constexpr std::size_t iniLargestFile = 1024 * 1024;

inline bool isIniBlank(char c) {
    return c == ' ' || c == '\t';
}

inline bool isIniComment(const std::string& line) {
    const std::size_t first = line.find_first_not_of(" \t");
    return first != std::string::npos && (line[first] == ';' || line[first] == '#');
}

// The Windows profile reader drops one pair of matching quotes around a (trimmed) value, and
// recipes written for it may rely on that.
inline std::string withoutQuotes(const std::string& value) {
    if (value.size() >= 2 && value.front() == value.back() &&
        (value.front() == '"' || value.front() == '\'')) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

} // namespace vtc880

#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vtc880 {

// The lines of an INI file and their layout, scanned once by the rules of the Windows profile reader,
// on every system. A line that is in doubt (one INI reader would take it one way and another reader,
// or the person who wrote it, another way), or that would be dropped without a word, is named here as
// a problem with its number instead of being read.
//
// A line, once its blanks (spaces, tabs) are trimmed, is empty; a comment (';' or '#' first); a
// section header "[name]", optionally followed by a comment; or "key=value", the key ending at the
// first '='. Leading blanks never join a line to the one before it. Lines end in "\n" or "\r\n"; a
// UTF-8 byte-order mark in front of the first is skipped.

enum class IniLineFault {
    tooLong,            // longer than iniLongestLine, and not a comment
    controlCharacter,   // a control character other than a tab: where the line ends is in doubt
    brokenHeader,       // a bracket, but not "[name]": the lines below would stay in the section before
    noEquals,           // neither empty, a comment, a header nor key=value: nothing would read it
    outsideSection,     // key=value before the first section header: no section holds it
    commentBehindValue, // "key=value ;comment": the comment would be read as part of the value
};

struct IniLineProblem {
    IniLineFault fault = IniLineFault::noEquals;
    int line = 0;     // 1-based
    std::string text; // the line, trimmed and cut short; for a control character, its code
};

struct IniHeader {
    std::string name; // as written between the brackets, not trimmed: "[ INPUT ]" is not INPUT
    int line = 0;
};

struct IniEntry {
    std::string section; // the name of the header above it
    int sectionLine = 0; // and that header's line
    std::string key;     // trimmed, as written
    // Trimmed, and without one pair of matching quotes ('"' or '\'') around it; never cut.
    std::string value;
    int line = 0;
};

struct IniText {
    enum class Status {
        ok,
        missing,  // the file cannot be opened or read
        tooLarge, // over iniLargestFile: not read
    };
    Status status = Status::ok;
    std::vector<IniHeader> headers;       // in line order
    std::vector<IniEntry> entries;        // in line order; the lines named as problems are not among them
    std::vector<IniLineProblem> problems; // in line order
};

// Scans the text of an INI file.
IniText scanIniText(std::string_view text);

// Reads and scans the file at `path` (a relative path is taken from the working directory).
IniText readIniText(const std::filesystem::path& path);

} // namespace vtc880

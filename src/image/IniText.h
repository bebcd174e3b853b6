#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace vtc880 {

// The lines of an INI file and their layout, scanned once by rules that both recipe readers (inih on
// Linux, the profile functions on Windows) agree with. Where the two would read a line differently,
// or one of them would drop it without a word, the line is named here as a problem, with its number,
// so that no reader has to be trusted to report it.
//
// A line, once its blanks (spaces, tabs) are trimmed, is empty; a comment (';' or '#' first); a
// section header "[name]", optionally followed by a comment; or "key=value", the key ending at the
// first '='. Leading blanks never join a line to the one before it.

enum class IniLineFault {
    tooLong,            // longer than iniLongestLine, and not a comment
    controlCharacter,   // a control character other than a tab: the readers end or split lines there
    brokenHeader,       // a bracket, but not "[name]": the lines below would stay in the section before
    noEquals,           // neither empty, a comment, a header nor key=value: the readers drop it
    outsideSection,     // key=value before the first section header: no section holds it
    commentBehindValue, // "key=value ;comment": inih drops the comment, the profile functions keep it
};

struct IniLineProblem {
    IniLineFault fault = IniLineFault::noEquals;
    int line = 0;     // 1-based
    std::string text; // the line, trimmed and cut short; for a control character, its code
};

struct IniHeader {
    std::string name; // as written between the brackets (the readers do not trim it)
    int line = 0;
};

struct IniEntry {
    std::string section; // the name of the header above it
    int sectionLine = 0; // and that header's line
    std::string key;     // trimmed, as written
    int line = 0;
};

struct IniText {
    enum class Status {
        ok,
        missing,  // the file cannot be opened or read
        tooLarge, // over iniLargestFile: not read
    };
    Status status = Status::ok;
    std::vector<std::string> lines; // without their line ends; the first without a byte-order mark
    std::vector<IniHeader> headers;
    std::vector<IniEntry> entries;
    std::vector<IniLineProblem> problems; // in line order
};

// Scans the text of an INI file.
IniText scanIniText(std::string_view text);

// Reads and scans the file at `path`.
IniText readIniText(const std::filesystem::path& path);

} // namespace vtc880

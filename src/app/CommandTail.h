#pragma once

#include <string>
#include <vector>

namespace vtc880 {

// What the command line asks for: recipes to pack (in order) and the firmware file to send.
struct EntryPlan {
    std::vector<std::string> recipes;
    std::string fileName = "firmware.hex";
    // The words --help and --version, the only options the program takes: it prints and ends, and
    // does nothing else the command line says.
    bool help = false;
    bool version = false;

    bool packaging() const { return !recipes.empty(); }
};

// The command tail as the program has always seen it: the arguments joined by single blanks, without
// the blanks and control characters that would follow the program's own name.
std::string commandTail(int argc, const char* const* argv);

// Splits the tail at single blanks (two blanks make an empty word). A word containing ".ini" is a
// recipe; --help and --version are the options; any other word names the firmware file, the last
// one winning.
EntryPlan splitCommandTail(const std::string& tail);

// What --help and --version print.
std::string usageText();
std::string versionText();

} // namespace vtc880

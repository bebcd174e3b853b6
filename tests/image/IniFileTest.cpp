#include "image/IniFile.h"

#include "TempDir.h"
#include "image/IniRules.h"

#include <gtest/gtest.h>
#include <optional>

using namespace vtc880;

namespace {

void writeBytes(const std::string& path, const std::string& text) {
    writeFile(path, std::vector<std::uint8_t>(text.begin(), text.end()));
}

struct Lookup {
    const char* section;
    const char* key;
    std::size_t bufferSize;
    std::string value;
    int line; // of the entry read, 0 for none
};

// The Windows profile reader's rules (names fold ASCII case only), on names and values a recipe would
// not hold: the recipe table covers the recipe's own.
TEST(IniFile, ReadsByTheProfileRules) {
    TempDir dir;
    writeBytes("r.ini", "[One]\n"               // 1
                        "key=first\n"           // 2
                        "KEY=second\n"          // 3
                        " spaced \t=  a b \t\n" // 4
                        "eq=a=b\n"              // 5
                        "empty=\n"              // 6
                        "quoted=\" a \"\n"      // 7
                        "single='x'\n"          // 8
                        "mixed=\"x'\n"          // 9
                        "lone=\"\n"             // 10
                        "pair=\"\"\n"           // 11
                        "inner=a\"b\"\n"        // 12
                        "[two]\n"               // 13
                        "key=other\n"           // 14
                        "[ONE]\n"               // 15
                        "late=never\n"          // 16
                        "key=third\n"           // 17
                        "[\xC3\x9C]\n"          // 18: U+00DC
                        "k=v\n");               // 19
    const IniFile ini("r.ini");
    ASSERT_EQ(ini.status(), IniFile::Status::ok);

    const Lookup lookups[] = {
        {"one", "Key", 127, "first", 2},     // names fold case; the first occurrence wins
        {"ONE", "spaced", 127, "a b", 4},    // keys and values are trimmed of blanks
        {"One", "eq", 127, "a=b", 5},        // the key ends at the first '='
        {"One", "empty", 127, "", 6},        // present, and empty
        {"One", "quoted", 127, " a ", 7},    // one pair of quotes goes, the blanks inside stay
        {"One", "single", 127, "x", 8},      // single quotes too
        {"One", "mixed", 127, "\"x'", 9},    // quotes that do not match stay
        {"One", "lone", 127, "\"", 10},      // a quote alone is no pair
        {"One", "pair", 127, "", 11},        // a pair alone is an empty value
        {"One", "inner", 127, "a\"b\"", 12}, // quotes not around the whole value stay
        {"TWO", "KEY", 127, "other", 14},    // each section holds its own keys
        {"One", "late", 127, "", 0},         // a section given again is never read
        {"One", "absent", 127, "", 0},       // a missing key reads empty
        {"Three", "key", 127, "", 0},        // and a missing section
        {"\xC3\x9C", "K", 127, "v", 19},     // other bytes of a name are matched as they are
        {"\xC3\xBC", "k", 127, "", 0},       // only ASCII folds: U+00FC is not U+00DC
        {"One", "key", 3, "fi", 2},          // the buffer counts the terminator
        {"One", "key", 1, "", 2},            // room for the terminator only
        {"One", "key", 0, "", 2},            // no room at all
    };
    for (const Lookup& l : lookups) {
        SCOPED_TRACE(std::string(l.section) + "/" + l.key + " in " + std::to_string(l.bufferSize));
        EXPECT_EQ(ini.value(l.section, l.key, l.bufferSize), l.value);
        const IniEntry* entry = ini.entry(l.section, l.key);
        EXPECT_EQ(entry == nullptr ? 0 : entry->line, l.line);
    }
    ASSERT_NE(ini.header("one"), nullptr);
    EXPECT_EQ(ini.header("one")->line, 1);
    EXPECT_EQ(ini.header("three"), nullptr);
}

struct FileCase {
    const char* name;
    std::string path;
    std::optional<std::size_t> size; // of the file the case writes at `path`, when it writes one
    IniFile::Status status;
};

TEST(IniFile, ReadsOnlyFilesARecipeCanBe) {
    TempDir dir;
    std::filesystem::create_directory("folder.ini");
    const FileCase cases[] = {
        {"absent", "absent.ini", {}, IniFile::Status::missing},
        {"no path", "", {}, IniFile::Status::missing},
        {"a directory", "folder.ini", {}, IniFile::Status::missing},
        {"empty", "empty.ini", 0, IniFile::Status::ok},
        {"as large as allowed", "largest.ini", iniLargestFile, IniFile::Status::ok},
        {"larger", "larger.ini", iniLargestFile + 1, IniFile::Status::tooLarge},
    };
    for (const FileCase& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.size) {
            writeBytes(c.path, std::string(*c.size, ';')); // one comment, however long
        }
        const IniFile ini(c.path);
        EXPECT_EQ(ini.status(), c.status);
        EXPECT_TRUE(ini.text().entries.empty());
    }
}

} // namespace

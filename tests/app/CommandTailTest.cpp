#include "app/CommandTail.h"

#include <gtest/gtest.h>

using namespace vtc880;

namespace {

struct TailCase {
    const char* name;
    std::string tail;
    std::vector<std::string> recipes;
    std::string fileName;
};

// Test names say which case failed; the bytes of the case would say nothing.
void PrintTo(const TailCase& c, std::ostream* out) {
    *out << c.name;
}

class CommandTailSplit : public testing::TestWithParam<TailCase> {};

TEST_P(CommandTailSplit, FindsRecipesAndFileName) {
    const TailCase& c = GetParam();
    const EntryPlan plan = splitCommandTail(c.tail);
    EXPECT_EQ(plan.recipes, c.recipes);
    EXPECT_EQ(plan.fileName, c.fileName);
    EXPECT_EQ(plan.packaging(), !c.recipes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Tails, CommandTailSplit,
    testing::Values(
        TailCase{"empty", "", {}, "firmware.hex"}, TailCase{"firmwareName", "new.bin", {}, "new.bin"},
        TailCase{"oneRecipe", "pack.ini", {"pack.ini"}, "firmware.hex"},
        TailCase{"recipesInOrder", "a.ini b.ini", {"a.ini", "b.ini"}, "firmware.hex"},
        TailCase{"twoBlanksMakeEmptyWord", "x.bin  y.bin", {}, "y.bin"},
        TailCase{"emptyLastWord", "x.bin  ", {}, ""},
        TailCase{"oneTrailingBlankIsNoWord", "x.bin ", {}, "x.bin"},
        TailCase{"recipeAndFileName", "a.ini new.bin", {"a.ini"}, "new.bin"},
        TailCase{"iniAnywhereInWord", "old.ini.bak a.ini2", {"old.ini.bak", "a.ini2"}, "firmware.hex"},
        TailCase{"caseSensitive", "A.INI", {}, "A.INI"},
        TailCase{"tabsAndQuotesAreOrdinary", "\"my file\".bin\tx", {}, "file\".bin\tx"},
        TailCase{
            "longWord", std::string(5000, 'w') + ".ini", {std::string(5000, 'w') + ".ini"}, "firmware.hex"}),
    [](const testing::TestParamInfo<TailCase>& info) { return std::string(info.param.name); });

// --help and --version are the program's only options: they are never a file name, and wherever they
// stand the program only prints. Any other word that looks like an option is a file name as before.
TEST(CommandTail, HelpAndVersionAreTheOnlyOptions) {
    const EntryPlan help = splitCommandTail("--help");
    EXPECT_TRUE(help.help);
    EXPECT_EQ(help.fileName, "firmware.hex");
    const EntryPlan version = splitCommandTail("a.ini --version new.bin");
    EXPECT_TRUE(version.version);
    EXPECT_FALSE(version.help);
    EXPECT_EQ(version.fileName, "new.bin");
    const EntryPlan other = splitCommandTail("-h");
    EXPECT_FALSE(other.help);
    EXPECT_EQ(other.fileName, "-h");
    EXPECT_FALSE(splitCommandTail("--helpful").help);
}

TEST(CommandTail, JoinsArgumentsWithSingleBlanks) {
    const char* argv[] = {"/usr/bin/vtc880-updater", "a.ini", "", "b.bin"};
    EXPECT_EQ(commandTail(4, argv), "a.ini  b.bin");
}

TEST(CommandTail, DropsBlanksAndControlCharactersAfterTheProgramName) {
    const char* argv[] = {"vtc880-updater", " \t new.bin"};
    EXPECT_EQ(commandTail(2, argv), "new.bin");
    const char* none[] = {"vtc880-updater"};
    EXPECT_EQ(commandTail(1, none), "");
}

} // namespace

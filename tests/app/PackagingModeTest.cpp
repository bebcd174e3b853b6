#include "../image/TempDir.h"
#include "BuiltPaths.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

using namespace vtc880;

namespace {

int runUpdater(const std::string& arguments) {
    const int status = std::system((std::string(built::updater()) + " " + arguments).c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Recipes run in the order given: both write out.bin, so the second one's version must be there.
TEST(PackagingMode, RunsEveryRecipeInOrderAndEndsWithStatusZero) {
    TempDir dir;
    writeFile("src.bin", {1, 2, 3});
    writeText("a.ini", "[VERSION]\nVALUE=1.0.0\n[INPUT]\nSOURCE_1=src.bin\n[RESULT]\nVALUE=out.bin\n");
    writeText("b.ini", "[VERSION]\nVALUE=2.0.0\n[INPUT]\nSOURCE_1=src.bin\n[RESULT]\nVALUE=out.bin\n");

    EXPECT_EQ(runUpdater("a.ini b.ini other.bin"), 0);
    const std::vector<std::uint8_t> image = readFile("out.bin");
    ASSERT_EQ(image.size(), 12u + 11u);
    EXPECT_EQ(image[10], 2); // major version of b.ini
}

TEST(PackagingMode, AnUnusableRecipeStillEndsWithStatusZeroAndWritesNothing) {
    TempDir dir;
    writeText("a.ini", "[INPUT]\nSOURCE_1=missing.bin\n[RESULT]\nVALUE=out.bin\n");
    EXPECT_EQ(runUpdater("a.ini"), 0);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.ini"});
}

struct PackagingCase {
    const char* name;
    std::string recipe;
    std::size_t imageSize; // bytes of out.bin; 0 when nothing may be written
};

void PrintTo(const PackagingCase& c, std::ostream* out) {
    *out << c.name;
}

class PackagingRecipe : public testing::TestWithParam<PackagingCase> {};

// The packaging mode says nothing either way; what it writes is what the recipe says, or nothing.
TEST_P(PackagingRecipe, WritesWhatTheRecipeSaysOrNothing) {
    const PackagingCase& c = GetParam();
    TempDir dir;
    writeFile("a.bin", std::vector<std::uint8_t>(200, 1));
    writeFile("b.bin", {1, 2, 3});
    writeText("r.ini", c.recipe);
    EXPECT_EQ(runUpdater("r.ini"), 0);
    if (c.imageSize == 0) {
        EXPECT_FALSE(std::filesystem::exists("out.bin"));
    } else {
        EXPECT_EQ(readFile("out.bin").size(), c.imageSize);
    }
}

const std::string result = "[RESULT]\nVALUE=out.bin\n";

INSTANTIATE_TEST_SUITE_P(
    Cases, PackagingRecipe,
    testing::Values(
        PackagingCase{"indentedLinesAreRead",
                      "[INPUT]\nSOURCE_1=a.bin\nADDRESS_1=100\n    SOURCE_2=b.bin\n    ADDRESS_2=200\n" +
                          result,
                      12 + 208 + 11},
        // The format's own rule: a missing address repeats the previous one, on the same words.
        PackagingCase{"missingAddressRepeatsThePreviousOne",
                      "[INPUT]\nSOURCE_1=a.bin\nSOURCE_2=b.bin\n" + result, 12 + 208 + 11},
        PackagingCase{"gapInTheNumbering",
                      "[INPUT]\nSOURCE_1=a.bin\nSOURCE_3=b.bin\nADDRESS_3=200\n" + result, 0},
        PackagingCase{"keyThatIsNotTheRecipes", "[INPUT]\nSOURCE_1=a.bin\nSORCE_2=b.bin\n" + result, 0},
        PackagingCase{"brokenSectionHeader", "[INPUT\nSOURCE_1=a.bin\n" + result, 0},
        PackagingCase{"blockPastTheLastWord", "[INPUT]\nSOURCE_1=a.bin\nADDRESS_1=FFFFFFCE\n" + result, 0}),
    [](const testing::TestParamInfo<PackagingCase>& info) { return std::string(info.param.name); });

} // namespace

// Packaging runs in scripts and build machines without any display: it must not start the GUI
// (which, on a platform that needs a display it cannot reach, would abort the program).
TEST(PackagingMode, NeedsNoDisplay) {
    TempDir dir;
    writeFile("src.bin", {1, 2, 3});
    writeText("a.ini", "[VERSION]\nVALUE=1.0.0\n[INPUT]\nSOURCE_1=src.bin\n[RESULT]\nVALUE=out.bin\n");
    const int status = std::system(("env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb " +
                                    std::string(built::updater()) + " a.ini >/dev/null 2>&1")
                                       .c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(readFile("out.bin").size(), 12u + 11u);
}

// --help and --version print and end: no window opens (here there is no display to open one on), and
// no file named --help is looked for.
TEST(UpdaterOptions, PrintAndEndWithoutAWindow) {
    TempDir dir;
    for (const auto& [option, said] :
         {std::pair{"--help", "Usage: vtc880-updater"}, std::pair{"--version", "vtc880-updater "}}) {
        const int status = std::system(("env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=xcb " +
                                        std::string(built::updater()) + " " + option + " >said.txt 2>&1")
                                           .c_str());
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << option;
        const std::vector<std::uint8_t> bytes = readFile("said.txt");
        const std::string text(bytes.begin(), bytes.end());
        EXPECT_EQ(text.rfind(said, 0), 0u) << option << ": " << text;
    }
}

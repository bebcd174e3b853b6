#include "../image/TempDir.h"

#include <gtest/gtest.h>
#include <sys/wait.h>

namespace {

int runUpdater(const std::string& arguments) {
    const int status = std::system((std::string(UPDATER_PATH) + " " + arguments).c_str());
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

} // namespace

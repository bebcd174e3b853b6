#include "../image/TempDir.h"
#include "RunTool.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using testing::HasSubstr;

class PackAndInfo : public testing::Test {
  protected:
    TempDir dir;
    void SetUp() override {
        writeFile("a.bin", pattern(250));
        writeFile("b.bin", pattern(7, 9));
    }
};

TEST_F(PackAndInfo, PackThenInfoShowsTheRecordsAndVersion) {
    writeText(
        "r.ini",
        "[VERSION]\nVALUE=2.1.7\n[INPUT]\nSOURCE_1=a.bin\nADDRESS_1=100\nSOURCE_2=b.bin\nADDRESS_2=0x4000\n"
        "[RESULT]\nVALUE=ignored.hex\n");
    const ToolRun pack = runTool("pack r.ini -o fw.hex");
    EXPECT_EQ(pack.status, 0) << pack.err;
    EXPECT_THAT(pack.out, HasSubstr("wrote fw.hex: 3 blocks, 261 bytes"));
    EXPECT_FALSE(std::filesystem::exists("ignored.hex"));

    const ToolRun info = runTool("info fw.hex");
    EXPECT_EQ(info.status, 0) << info.err;
    EXPECT_THAT(info.out, HasSubstr("0x50002       0xA0004       4  version 2.1.7"));
    EXPECT_THAT(info.out, HasSubstr("12          0x00100       0x00200       250"));
    EXPECT_THAT(info.out, HasSubstr("270         0x04000       0x08000       7"));
    EXPECT_THAT(info.out, HasSubstr("total: 3 blocks, 261 bytes"));
    EXPECT_THAT(info.out, HasSubstr("valid"));
}

struct BadPack {
    const char* name;
    std::string recipe;
    std::string message;
};

void PrintTo(const BadPack& c, std::ostream* out) {
    *out << c.name;
}

class PackProblem : public PackAndInfo, public testing::WithParamInterface<BadPack> {};

TEST_P(PackProblem, IsNamedAndNothingIsWritten) {
    const BadPack& c = GetParam();
    if (!c.recipe.empty()) {
        writeText("r.ini", c.recipe);
    }
    const ToolRun run = runTool("pack r.ini -o fw.hex");
    EXPECT_EQ(run.status, 3);
    EXPECT_THAT(run.err, HasSubstr(c.message));
    EXPECT_THAT(run.err, HasSubstr("nothing written"));
    EXPECT_FALSE(std::filesystem::exists("fw.hex"));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PackProblem,
    testing::Values(BadPack{"recipeMissing", "", "cannot read the recipe 'r.ini'"},
                    BadPack{"sourceMissing", "[INPUT]\nSOURCE_1=a.bin\nSOURCE_2=gone.bin\n",
                            "SOURCE_2: cannot read 'gone.bin'"},
                    BadPack{"addressTooLarge", "[INPUT]\nSOURCE_1=a.bin\nADDRESS_1=123456789\n",
                            "ADDRESS_1: '123456789' does not fit 32 bits"},
                    BadPack{"tooManyBlocks",
                            [] {
                                std::string text = "[INPUT]\n";
                                for (int n = 1; n <= 64; ++n) {
                                    text += "SOURCE_" + std::to_string(n) + "=b.bin\n";
                                }
                                return text;
                            }(),
                            "SOURCE_64: too many blocks"}),
    [](const testing::TestParamInfo<BadPack>& info) { return std::string(info.param.name); });

TEST_F(PackAndInfo, PackNamesAnAddressThatIsNotHexButStillWrites) {
    writeText("r.ini", "[INPUT]\nSOURCE_1=a.bin\nADDRESS_1=40\nSOURCE_2=b.bin\nADDRESS_2=zz\n");
    const ToolRun run = runTool("pack r.ini -o fw.hex");
    EXPECT_EQ(run.status, 0);
    EXPECT_THAT(run.err, HasSubstr("ADDRESS_2: 'zz' is not hexadecimal"));
    EXPECT_TRUE(std::filesystem::exists("fw.hex"));
}

TEST_F(PackAndInfo, InfoReportsWhereATruncatedImageEnds) {
    writeFile("cut.hex", {4, 0, 0, 0, 2, 0, 5, 0, 3, 2, 1, 0x56, 9, 0, 0, 0, 0, 1, 0, 0, 1, 2});
    const ToolRun run = runTool("info cut.hex");
    EXPECT_EQ(run.status, 3);
    EXPECT_THAT(run.err, HasSubstr("invalid: the file ends inside the record at offset 12 (truncated)"));
    EXPECT_THAT(run.out, HasSubstr("version 1.2.3"));
}

TEST_F(PackAndInfo, InfoOnAMissingFileFails) {
    const ToolRun run = runTool("info nothing.hex");
    EXPECT_EQ(run.status, 3);
    EXPECT_THAT(run.err, HasSubstr("cannot open the file"));
}

TEST_F(PackAndInfo, JsonResultGoesToStandardOutputAndTextToStandardError) {
    writeText("r.ini", "[VERSION]\nVALUE=1.0.0\n[INPUT]\nSOURCE_1=b.bin\n[RESULT]\nVALUE=fw.hex\n");
    const ToolRun run = runTool("pack r.ini --json");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "{\"event\":\"result\",\"ok\":true,\"problems\":[],\"image\":\"fw.hex\",\"blocks\":2,"
                       "\"bytes\":11}\n");
    EXPECT_THAT(run.err, HasSubstr("wrote fw.hex"));
}

TEST_F(PackAndInfo, UsageErrorsExitWithTwo) {
    EXPECT_EQ(runTool("").status, 2);
    EXPECT_EQ(runTool("pack").status, 2);
    EXPECT_EQ(runTool("frobnicate").status, 2);
    const ToolRun help = runTool("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, HasSubstr("Exit status: 0 success"));
}

} // namespace

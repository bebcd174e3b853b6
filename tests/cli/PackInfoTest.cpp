#include "../image/ImageBytes.h"
#include "RunTool.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vtc880;

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
    testing::Values(
        BadPack{"recipeMissing", "", "cannot read the recipe 'r.ini'"},
        BadPack{"sourceMissing", "[INPUT]\nSOURCE_1=a.bin\nSOURCE_2=gone.bin\n",
                "r.ini line 3: SOURCE_2: cannot read 'gone.bin'"},
        BadPack{"addressTooLarge", "[INPUT]\nSOURCE_1=a.bin\nADDRESS_1=123456789\n",
                "r.ini line 3: ADDRESS_1: '123456789' does not fit 32 bits"},
        BadPack{"addressNotHex", "[INPUT]\nSOURCE_1=a.bin\nADDRESS_1=40\nSOURCE_2=b.bin\nADDRESS_2=zz\n",
                "r.ini line 5: ADDRESS_2: 'zz' is not hexadecimal"},
        BadPack{"tooManyBlocks",
                [] {
                    std::string text = "[INPUT]\n";
                    for (int n = 1; n <= 64; ++n) {
                        text += "SOURCE_" + std::to_string(n) + "=b.bin\nADDRESS_" + std::to_string(n) + "=" +
                                std::to_string(n * 4) + "\n";
                    }
                    return text;
                }(),
                "SOURCE_64: too many blocks"},
        BadPack{"headerWithoutClosingBracket", "[VERSION\nVALUE=1.0.0\n[INPUT]\nSOURCE_1=a.bin\n",
                "r.ini line 1: '[VERSION' is not a section header"},
        BadPack{"headerWithoutOpeningBracket", "[INPUT]\nSOURCE_1=a.bin\nRESULT]\nVALUE=x.hex\n",
                "r.ini line 3: 'RESULT]' is not a section header"},
        BadPack{"keyThatIsNotTheRecipes", "[INPUT]\nSOURCE_1=a.bin\nSORCE_2=b.bin\n",
                "r.ini line 3: 'SORCE_2' is not a key of [INPUT]"},
        BadPack{"lineWithoutEquals", "[INPUT]\nSOURCE_1=a.bin\nSOURCE_2 b.bin\n",
                "r.ini line 3: 'SOURCE_2 b.bin' is not KEY=value"},
        BadPack{"gapInTheNumbering", "[INPUT]\nSOURCE_1=a.bin\nSOURCE_3=b.bin\n",
                "r.ini line 3: SOURCE_3 is never read: the sources stop at SOURCE_2"},
        BadPack{"versionNotNumbers", "[VERSION]\nVALUE=v2.1\n[INPUT]\nSOURCE_1=a.bin\n",
                "r.ini line 2: VERSION VALUE 'v2.1' is not numbers and dots"},
        BadPack{"commentBehindAValue", "[INPUT]\nSOURCE_1=a.bin ; the boot block\n",
                "r.ini line 2: 'SOURCE_1=a.bin ; the boot block' has a comment behind its value"},
        BadPack{"sourceOverTheVersionBlock", "[INPUT]\nSOURCE_1=a.bin\nADDRESS_1=50000\n",
                "the version block and SOURCE_1 'a.bin' both cover words 0x50002 to 0x50003"},
        BadPack{"overlappingSources",
                "[INPUT]\nSOURCE_1=a.bin\nADDRESS_1=100\nSOURCE_2=b.bin\nADDRESS_2=17C\n",
                "SOURCE_1 'a.bin' and SOURCE_2 'b.bin' both cover words 0x0017C to 0x0017C"},
        BadPack{
            "pastTheLastWord", "[INPUT]\nSOURCE_1=a.bin\nADDRESS_1=FFFFFFCE\n",
            "SOURCE_1 'a.bin' at word 0xFFFFFFCE runs past the last word 0xFFFFFFFF (to word 0x10000004A)"}),
    [](const testing::TestParamInfo<BadPack>& info) { return std::string(info.param.name); });

// An indented line is read as the Windows reader reads it: its key, not more of the value above.
TEST_F(PackAndInfo, PackReadsIndentedLines) {
    writeText("r.ini", "[VERSION]\nVALUE=1.0.0\n[INPUT]\nSOURCE_1=a.bin\nADDRESS_1=100\n    SOURCE_2=b.bin\n"
                       "    ADDRESS_2=4000\n");
    const ToolRun run = runTool("pack r.ini -o fw.hex");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_THAT(run.out, HasSubstr("wrote fw.hex: 3 blocks, 261 bytes"));
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

struct BadImage {
    const char* name;
    Bytes bytes; // the image file; a directory when `directory`
    std::string message;
    bool directory = false;
};

void PrintTo(const BadImage& c, std::ostream* out) {
    *out << c.name;
}

class ImageProblem : public PackAndInfo, public testing::WithParamInterface<BadImage> {};

// `info` calls the image invalid and says why; `update` and `verify` refuse it with the same words
// before any port is opened: the port named here does not exist, and its own failure would be exit 4.
TEST_P(ImageProblem, IsInvalidForInfoAndRefusedBeforeThePort) {
    const BadImage& c = GetParam();
    if (c.directory) {
        std::filesystem::create_directory("fw.hex");
    } else {
        writeFile("fw.hex", c.bytes);
    }
    const ToolRun info = runTool("info fw.hex");
    EXPECT_EQ(info.status, 3);
    // A directory has no records to list: only the error.
    EXPECT_THAT(info.err, HasSubstr(c.directory ? "fw.hex: " + c.message : "fw.hex: invalid: " + c.message));
    EXPECT_THAT(info.out, testing::Not(HasSubstr("valid\n")));
    for (const char* command : {"update", "verify"}) {
        const ToolRun run = runTool(std::string(command) + " fw.hex --port /dev/nonexistent-port");
        EXPECT_EQ(run.status, 3) << command << ": " << run.err;
        EXPECT_THAT(run.err, HasSubstr("fw.hex: " + c.message)) << command;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImageProblem,
    testing::Values(
        BadImage{"emptyFile", {}, "the file is empty (a failed copy?)"},
        BadImage{"noRecordHoldsAByte", record(0, 0x100), "no record holds a byte"},
        BadImage{
            "intelHex", text(":020000040000FA\n:10010000214601360121470136007EFE09D2190140\n"),
            "a text file (Intel HEX?): the updater takes the binary image that `vtc880 pack` writes from a "
            "recipe"},
        BadImage{"sRecord", text("S00F000068656C6C6F202020202000003C\n"), "a text file (S-record?)"},
        BadImage{"directory", {}, "a directory", true},
        BadImage{
            "overlap", record(1024 * 1024, 0) + versionBlock,
            "two blocks overlap: the block at word 0x00000 (1048576 bytes) and the block at word 0x50002 (4 "
            "bytes) both cover words 0x50002 to 0x50003"},
        BadImage{"pastTheLastWord", versionBlock + record(200, 0xFFFFFFCE),
                 "the block at word 0xFFFFFFCE (200 bytes) runs past the last word 0xFFFFFFFF"},
        BadImage{"truncated", versionBlock + record(9, 0x100, 2),
                 "the file ends inside the record at offset 12 (truncated): pack it again"}),
    [](const testing::TestParamInfo<BadImage>& info) { return std::string(info.param.name); });

// Every fault is shown, the first one also as the JSON result's problem.
TEST_F(PackAndInfo, InfoShowsEveryOverlap) {
    writeFile("fw.hex", versionBlock + record(8, 0x100) + record(2, 0x102) + record(2, 0x103));
    const ToolRun run = runTool("info fw.hex --json");
    EXPECT_EQ(run.status, 3);
    EXPECT_THAT(run.err, HasSubstr("both cover words 0x00102 to 0x00102"));
    EXPECT_THAT(run.err, HasSubstr("both cover words 0x00103 to 0x00103"));
    EXPECT_THAT(run.out, HasSubstr("\"ok\":false"));
    EXPECT_THAT(run.out, HasSubstr("\"problem\":\"two blocks overlap: the block at word 0x00100 (8 bytes)"));
}

TEST_F(PackAndInfo, JsonResultGoesToStandardOutputAndTextToStandardError) {
    writeText("r.ini", "[VERSION]\nVALUE=1.0.0\n[INPUT]\nSOURCE_1=b.bin\n[RESULT]\nVALUE=fw.hex\n");
    const ToolRun run = runTool("pack r.ini --json");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, "{\"event\":\"result\",\"ok\":true,\"problems\":[],\"image\":\"fw.hex\",\"blocks\":2,"
                       "\"image_bytes\":11}\n");
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

#include "vtc880/ImageCheck.h"

#include "ImageBytes.h"
#include "vtc880/ImageFile.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vtc880;

namespace {

using testing::HasSubstr;

struct ImageCase {
    const char* name;
    Bytes bytes; // the file; a directory when `directory`
    ImageFault fault;
    std::string problem; // a part of the sentence for a person
    bool directory = false;
};

void PrintTo(const ImageCase& c, std::ostream* out) {
    *out << c.name;
}

class ImageCheck : public testing::TestWithParam<ImageCase> {
  protected:
    TempDir dir;
};

// Whatever the file, the list is emptied first: a block from an earlier load never lingers.
TEST_P(ImageCheck, JudgesTheFileBeforeAnythingIsSent) {
    const ImageCase& c = GetParam();
    if (c.directory) {
        std::filesystem::create_directory("fw.hex");
    } else {
        writeFile("fw.hex", c.bytes);
    }
    FileCopy image;
    blockAddVersion(image, 0x56090909, 0x1234);
    const LoadedImage loaded = loadImage("fw.hex", image);
    EXPECT_EQ(loaded.fault, c.fault);
    EXPECT_EQ(loaded.ok(), c.fault == ImageFault::none);
    EXPECT_THAT(loaded.problem, HasSubstr(c.problem));
    for (int i = 0; i < image.count; ++i) {
        EXPECT_NE(image.blocks[i].address, 0x1234u) << "a block of the earlier load is still there";
    }
    if (loaded.ok()) {
        EXPECT_GT(image.count, 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImageCheck,
    testing::Values(
        ImageCase{"versionAndOneBlock", versionBlock + record(250, 0x100), ImageFault::none, ""},
        ImageCase{"adjacentBlocks", record(4, 0x10) + record(4, 0x12), ImageFault::none, ""},
        ImageCase{"blockEndingOnTheLastWord", record(100, 0xFFFFFFCE), ImageFault::none, ""},
        ImageCase{"emptyFile", {}, ImageFault::empty, "the file is empty (a failed copy?)"},
        ImageCase{"onlyRecordsWithoutBytes", record(0, 0x100) + record(0, 0x200), ImageFault::empty,
                  "no record holds a byte"},
        ImageCase{"intelHex", text(":020000040000FA\n:10010000214601360121470136007EFE09D2190140\n"),
                  ImageFault::textFile, "a text file (Intel HEX?): the updater takes the binary image"},
        ImageCase{"sRecord", text("S00F000068656C6C6F202020202000003C\nS11F00007C0802A6\n"),
                  ImageFault::textFile, "a text file (S-record?)"},
        ImageCase{"directory", {}, ImageFault::directory, "a directory", true},
        // A record of 0x3A bytes starts with ':' too; cut short, it is a truncated image, not text.
        ImageCase{"binaryStartingWithAColon", record(0x3A, 0x100, 10), ImageFault::truncated,
                  "the file ends inside the record at offset 0 (truncated)"},
        ImageCase{"truncated", versionBlock + record(9, 0x100, 2), ImageFault::truncated,
                  "the file ends inside the record at offset 12 (truncated): pack it again"},
        ImageCase{
            "overVersionBlock", record(1024 * 1024, 0) + versionBlock, ImageFault::overlap,
            "the block at word 0x00000 (1048576 bytes) and the block at word 0x50002 (4 bytes) both cover "
            "words 0x50002 to 0x50003"},
        // An odd last byte takes a whole word.
        ImageCase{"oddByteTakesAWord", record(3, 0x10) + record(2, 0x11), ImageFault::overlap,
                  "both cover words 0x00011 to 0x00011"},
        ImageCase{"pastTheLastWord", versionBlock + record(200, 0xFFFFFFCE), ImageFault::pastLastWord,
                  "the block at word 0xFFFFFFCE (200 bytes) runs past the last word 0xFFFFFFFF (to word "
                  "0x100000031)"},
        ImageCase{"oddBytePastTheLastWord", record(3, 0xFFFFFFFF), ImageFault::pastLastWord, "runs past"}),
    [](const testing::TestParamInfo<ImageCase>& info) { return std::string(info.param.name); });

TEST(ImageCheckFile, MissingFileCannotBeOpened) {
    TempDir dir;
    FileCopy image;
    const LoadedImage loaded = loadImage("absent.hex", image);
    EXPECT_EQ(loaded.fault, ImageFault::cannotOpen);
    EXPECT_THAT(loaded.problem, HasSubstr("cannot open the file"));
    EXPECT_EQ(loadImage("", image).fault, ImageFault::cannotOpen);
}

// Every fault is listed, not only the first that the problem sentence names.
TEST(ImageCheckFile, ListsEveryBlockFault) {
    TempDir dir;
    // Words 0x10 to 0x13; 0x12; 0x13; and 0xFFFFFFFF on past the end.
    writeFile("fw.hex", record(8, 0x10) + record(2, 0x12) + record(2, 0x13) + record(4, 0xFFFFFFFF));
    FileCopy image;
    const LoadedImage loaded = loadImage("fw.hex", image);
    ASSERT_EQ(loaded.blockFaults.size(), 3u);
    EXPECT_EQ(loaded.blockFaults[0].kind, BlockFault::Kind::pastLastWord);
    EXPECT_EQ(loaded.blockFaults[0].block, 3);
    EXPECT_EQ(loaded.blockFaults[1].kind, BlockFault::Kind::overlap);
    EXPECT_EQ(loaded.blockFaults[1].block, 0);
    EXPECT_EQ(loaded.blockFaults[1].other, 1);
    EXPECT_EQ(loaded.blockFaults[2].block, 0);
    EXPECT_EQ(loaded.blockFaults[2].other, 2);
    EXPECT_EQ(loaded.fault, ImageFault::pastLastWord);
    EXPECT_EQ(image.count, 4) << "the blocks read stay for a front end that shows them";
}

} // namespace

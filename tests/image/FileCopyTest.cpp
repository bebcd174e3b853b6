#include "vtc880/FileCopy.h"

#include "TempDir.h"

#include <gtest/gtest.h>

using namespace vtc880;

namespace {

class BlockList : public testing::Test {
  protected:
    TempDir dir;
    FileCopy list;
};

TEST_F(BlockList, AddsASourceFileWhole) {
    writeFile("src.bin", pattern(1000));
    ASSERT_EQ(blockAddFile(list, "src.bin", 0x800), 0);
    ASSERT_EQ(list.count, 1);
    EXPECT_EQ(list.blocks[0].address, 0x800u);
    EXPECT_EQ(blockBytes(list.blocks[0]), pattern(1000));
}

TEST_F(BlockList, VersionBlockIsLittleEndian) {
    ASSERT_EQ(blockAddVersion(list, 0x56010203, 0x50002), 0);
    EXPECT_EQ(blockBytes(list.blocks[0]), (std::vector<std::uint8_t>{0x03, 0x02, 0x01, 0x56}));
    EXPECT_EQ(list.blocks[0].address, 0x50002u);
}

struct SourceCase {
    const char* name;
    std::size_t size; // SIZE_MAX: no such file
    BlockAddStatus status;
};

// Test names say which case failed; the bytes of the case would say nothing.
void PrintTo(const SourceCase& c, std::ostream* out) {
    *out << c.name;
}

class SourceFile : public BlockList, public testing::WithParamInterface<SourceCase> {};

TEST_P(SourceFile, AddsOnlyWhatFits) {
    const SourceCase& c = GetParam();
    if (c.size != SIZE_MAX) {
        writeFile("src.bin", pattern(c.size));
    }
    EXPECT_EQ(addSourceBlock(list, "src.bin", 0x10), c.status);
    EXPECT_EQ(list.count, c.status == BlockAddStatus::ok ? 1 : 0);
    if (c.status == BlockAddStatus::ok) {
        EXPECT_EQ(list.blocks[0].size, c.size);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SourceFile,
    testing::Values(SourceCase{"empty", 0, BlockAddStatus::ok},
                    SourceCase{"exactlyTheLimit", maxSourceSize, BlockAddStatus::ok},
                    SourceCase{"overTheLimit", maxSourceSize + 1, BlockAddStatus::tooLarge},
                    SourceCase{"missing", SIZE_MAX, BlockAddStatus::cannotOpen}),
    [](const testing::TestParamInfo<SourceCase>& info) { return std::string(info.param.name); });

TEST_F(BlockList, FullTableTakesNothingMore) {
    writeFile("src.bin", pattern(3));
    for (int i = 0; i < FileCopy::maxBlocks; ++i) {
        ASSERT_EQ(blockAddVersion(list, 0, 0), 0);
    }
    EXPECT_EQ(blockAddFile(list, "src.bin", 0), -1);
    EXPECT_EQ(blockAddVersion(list, 0, 0), -1);
    EXPECT_EQ(list.count, FileCopy::maxBlocks);
}

TEST_F(BlockList, ADirectoryIsNotASource) {
    std::filesystem::create_directory("folder");
    EXPECT_EQ(blockAddFile(list, "folder", 0), -1);
    EXPECT_EQ(list.count, 0);
}

} // namespace

#include "vtc880/ImageFile.h"

#include "TempDir.h"

#include <gtest/gtest.h>

using namespace vtc880;

namespace {

struct Record {
    std::uint32_t size;
    std::uint32_t address;
    std::vector<std::uint8_t> bytes;
};

std::vector<std::uint8_t> encode(const std::vector<Record>& records) {
    std::vector<std::uint8_t> out;
    for (const Record& r : records) {
        for (std::uint32_t v : {r.size, r.address}) {
            for (int i = 0; i < 4; ++i) {
                out.push_back(std::uint8_t(v >> (8 * i)));
            }
        }
        out.insert(out.end(), r.bytes.begin(), r.bytes.end());
    }
    return out;
}

FileCopy listOf(const std::vector<Record>& records) {
    FileCopy list;
    for (const Record& r : records) {
        auto data = std::make_unique<std::uint8_t[]>(r.bytes.size());
        std::copy(r.bytes.begin(), r.bytes.end(), data.get());
        list.append(r.size, r.address, std::move(data));
    }
    return list;
}

void expectBlocks(const FileCopy& list, const std::vector<Record>& expected) {
    ASSERT_EQ(list.count, std::int32_t(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(list.blocks[i].size, expected[i].size) << "block " << i;
        EXPECT_EQ(list.blocks[i].address, expected[i].address) << "block " << i;
        EXPECT_EQ(blockBytes(list.blocks[i]), expected[i].bytes) << "block " << i;
    }
}

class ImageFile : public testing::Test {
  protected:
    TempDir dir;
};

TEST_F(ImageFile, ReadsTheKnownVersionRecord) {
    writeFile("fw.hex", {0x04, 0x00, 0x00, 0x00, 0x02, 0x00, 0x05, 0x00, 0x03, 0x02, 0x01, 0x56});
    FileCopy list;
    ASSERT_EQ(firmwareExtract("fw.hex", list), 0);
    expectBlocks(list, {{4, 0x50002, {0x03, 0x02, 0x01, 0x56}}});
}

TEST_F(ImageFile, WriteThenReadKeepsBlocksAndOrderButDropsEmptyBlocks) {
    const std::vector<Record> written = {
        {4, 0x50002, {1, 2, 3, 0x56}}, {0, 0x900, {}}, {251, 0x100, pattern(251)}, {1, 0xFFFFFFFF, {0xAA}}};
    ASSERT_EQ(firmwareCreate("fw.hex", listOf(written)), 0);
    EXPECT_EQ(readFile("fw.hex"), encode(written));

    FileCopy list;
    ASSERT_EQ(firmwareExtract("fw.hex", list), 0);
    expectBlocks(list, {written[0], written[2], written[3]});
}

TEST_F(ImageFile, EmptyFileIsAnEmptyImage) {
    writeFile("empty.hex", {});
    FileCopy list;
    EXPECT_EQ(firmwareExtract("empty.hex", list), 0);
    EXPECT_EQ(list.count, 0);
}

TEST_F(ImageFile, ReadingTwiceAppends) {
    writeFile("fw.hex", encode({{2, 0x10, {7, 8}}}));
    FileCopy list;
    ASSERT_EQ(firmwareExtract("fw.hex", list), 0);
    ASSERT_EQ(firmwareExtract("fw.hex", list), 0);
    expectBlocks(list, {{2, 0x10, {7, 8}}, {2, 0x10, {7, 8}}});
}

struct BadImage {
    const char* name;
    std::vector<std::uint8_t> bytes;
    ImageReadStatus status;
    std::uint64_t offset;
};

// Test names say which case failed; the bytes of the case would say nothing.
void PrintTo(const BadImage& c, std::ostream* out) {
    *out << c.name;
}

std::vector<std::uint8_t> manyRecords(int count) {
    std::vector<Record> records(std::size_t(count), Record{1, 0x20, {0x5A}});
    return encode(records);
}

std::vector<std::uint8_t> concat(std::vector<std::uint8_t> a, const std::vector<std::uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class BadImageFile : public ImageFile, public testing::WithParamInterface<BadImage> {};

// A refused file leaves the list exactly as it was: a block already in it stays, nothing is added.
TEST_P(BadImageFile, IsRefusedWithoutTouchingTheList) {
    const BadImage& c = GetParam();
    writeFile("bad.hex", c.bytes);
    FileCopy list = listOf({{3, 0x42, {9, 9, 9}}});
    const ImageReadResult result = readImageFile("bad.hex", list);
    EXPECT_EQ(result.status, c.status);
    EXPECT_EQ(result.offset, c.offset);
    EXPECT_EQ(firmwareExtract("bad.hex", list), -1);
    expectBlocks(list, {{3, 0x42, {9, 9, 9}}});
}

const std::vector<std::uint8_t> good = encode({{2, 0x10, {7, 8}}});

INSTANTIATE_TEST_SUITE_P(
    Cases, BadImageFile,
    testing::Values(
        BadImage{"dataCutShort", concat(good, {0x05, 0, 0, 0, 0x20, 0, 0, 0, 1, 2}),
                 ImageReadStatus::truncated, 10},
        BadImage{
            "hugeCountInTinyFile", {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 1}, ImageReadStatus::truncated, 0},
        BadImage{"headerCutShort", concat(good, {0x01, 0, 0, 0, 0x20}), ImageReadStatus::truncated, 10},
        // One slot is already taken, so 64 more records are one too many.
        BadImage{"tooManyBlocks", manyRecords(64), ImageReadStatus::tooManyBlocks, 63 * 9}),
    [](const testing::TestParamInfo<BadImage>& info) { return std::string(info.param.name); });

TEST_F(ImageFile, SixtyFourBlocksFitAnEmptyList) {
    writeFile("full.hex", manyRecords(64));
    FileCopy list;
    EXPECT_EQ(firmwareExtract("full.hex", list), 0);
    EXPECT_EQ(list.count, 64);
}

TEST_F(ImageFile, UnreadablePathsAreRefused) {
    std::filesystem::create_directory("folder");
    FileCopy list;
    EXPECT_EQ(readImageFile("", list).status, ImageReadStatus::cannotOpen);
    EXPECT_EQ(readImageFile("missing.hex", list).status, ImageReadStatus::cannotOpen);
    EXPECT_NE(readImageFile("folder", list).status, ImageReadStatus::ok);
    EXPECT_EQ(list.count, 0);
}

TEST_F(ImageFile, CreateReplacesAnExistingImageWholeAndLeavesNoTemporary) {
    writeFile("fw.hex", pattern(5000));
    ASSERT_EQ(firmwareCreate("fw.hex", listOf({{2, 0x10, {7, 8}}})), 0);
    EXPECT_EQ(readFile("fw.hex"), good);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"fw.hex"});
}

TEST_F(ImageFile, CreateFailsWhereNoFileCanBeWritten) {
    std::filesystem::create_directory("folder");
    const FileCopy list = listOf({{2, 0x10, {7, 8}}});
    EXPECT_EQ(firmwareCreate("", list), -1);
    EXPECT_EQ(firmwareCreate("no/such/dir/fw.hex", list), -1);
    EXPECT_EQ(firmwareCreate("folder", list), -1);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"folder"});
    EXPECT_TRUE(std::filesystem::is_empty("folder"));
}

} // namespace

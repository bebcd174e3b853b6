#include "Rig.h"
#include "sim/FlashMemory.h"

using namespace vtc880;

namespace simtest {
namespace {

using Kind = sim::Received::Kind;

struct MalformedCase {
    const char* name;
    Bytes bytes;
};

void PrintTo(const MalformedCase& c, std::ostream* os) {
    *os << c.name;
}

Bytes withChecksumOff() {
    Bytes f = commandFrame(Code::Handshake);
    f.back() = std::uint8_t(f.back() + 1);
    return f;
}

Bytes withEndByte(std::uint8_t end) {
    Bytes f = commandFrame(Code::Handshake);
    f[f.size() - 2] = end;
    return f;
}

class MalformedFrames : public testing::TestWithParam<MalformedCase> {};

TEST_P(MalformedFrames, AreRecordedButNotAnswered) {
    Rig rig;
    ASSERT_TRUE(rig.startInUpdateMode());
    rig.port->write(GetParam().bytes);
    EXPECT_TRUE(rig.port->readFor(300ms).empty());
    ASSERT_TRUE(eventually([&] { return rig.device->transcriptSize() == 3; }));
    const sim::Received bad = rig.device->transcript().back();
    EXPECT_EQ(bad.kind, Kind::badFrame);
    EXPECT_EQ(bad.code, Code::Handshake);
    EXPECT_TRUE(rig.device->frameCodes().empty());
    // The reader is hunting again: the next frame is answered.
    EXPECT_EQ(rig.ask(Code::Handshake).frame, ackFrame);
}

INSTANTIATE_TEST_SUITE_P(
    SimulatedDevice, MalformedFrames,
    testing::Values(MalformedCase{"badChecksum", withChecksumOff()},
                    MalformedCase{"badEndByte", withEndByte('-')},
                    MalformedCase{"startByteInPlaceOfTheEnd", withEndByte('*')},
                    MalformedCase{"lengthOver64KiB", Bytes{'*', 0x54, 0x44, 0x01, 0x00, 0x01, 0x00}},
                    MalformedCase{"lengthOver4GiB", Bytes{'*', 0x54, 0x44, 0xFF, 0xFF, 0xFF, 0xFF}}),
    [](const testing::TestParamInfo<MalformedCase>& info) { return std::string(info.param.name); });

TEST(SimulatedDeviceFrames, SkipsBytesBetweenFramesAndTakesAStartByteInsideData) {
    Rig rig;
    ASSERT_TRUE(rig.startInUpdateMode());
    Bytes bytes = bytesOf("junk+\r\n");
    const Bytes payload = chunkPayload(0x300, {'*', '*', '+', '*'});
    const Bytes f = commandFrame(Code::ProgramChunk, payload);
    bytes.insert(bytes.end(), f.begin(), f.end());
    rig.port->write(bytes);
    EXPECT_EQ(rig.port->readReply().frame, ackFrame);
    const std::vector<sim::Received> t = rig.device->transcript();
    EXPECT_EQ(t.back().kind, Kind::frame);
    EXPECT_EQ(t.back().data, payload);
}

TEST(SimulatedDeviceFrames, TakesTheLongestFrameAndRecordsAllOfIt) {
    Rig rig;
    ASSERT_TRUE(rig.startInUpdateMode());
    const Bytes big(64 * 1024, 0x5A);
    // Too long a chunk payload: a frame the device reads but refuses.
    EXPECT_EQ(rig.ask(Code::VerifyChunk, big).frame, errorFrame);
    EXPECT_EQ(rig.device->transcript().back().data, big);
}

struct PayloadCase {
    const char* name;
    Bytes payload;
    bool accepted;
};

void PrintTo(const PayloadCase& c, std::ostream* os) {
    *os << c.name;
}

Bytes payloadWithCount(std::uint32_t count, std::size_t bytes) {
    Bytes p = chunkPayload(0x200, Bytes(bytes, 0x42));
    p[4] = std::uint8_t(count);
    p[5] = std::uint8_t(count >> 8);
    return p;
}

class ChunkPayloads : public testing::TestWithParam<PayloadCase> {};

// The same payload programmed, then verified: both accepted or both refused.
TEST_P(ChunkPayloads, AreCheckedBeforeTheyTouchMemory) {
    const PayloadCase& c = GetParam();
    sim::Config config;
    config.eraseTimeMs = 0;
    Rig rig;
    ASSERT_TRUE(rig.startInUpdateMode(config));
    ASSERT_EQ(rig.ask(Code::EraseAll).frame, ackFrame);
    const Bytes expected = c.accepted ? ackFrame : errorFrame;
    EXPECT_EQ(rig.ask(Code::ProgramChunk, c.payload).frame, expected);
    EXPECT_EQ(rig.ask(Code::VerifyChunk, c.payload).frame, expected);
    EXPECT_EQ(rig.device->chunksProgrammed(), c.accepted ? 1 : 0);
    if (!c.accepted) {
        EXPECT_EQ(rig.device->memory(0x200, 128), Bytes(128, 0xFF));
    }
}

INSTANTIATE_TEST_SUITE_P(
    SimulatedDevice, ChunkPayloads,
    testing::Values(PayloadCase{"oneByte", chunkPayload(0x200, {0x42}), true},
                    PayloadCase{"hundredBytes", chunkPayload(0x200, Bytes(100, 0x42)), true},
                    PayloadCase{"lastWordOfMemory", chunkPayload(0xFFFFFFFF, {0x42, 0x43}), true},
                    PayloadCase{"countZero", payloadWithCount(0, 0), false},
                    PayloadCase{"count101", payloadWithCount(101, 101), false},
                    PayloadCase{"countAboveData", payloadWithCount(10, 9), false},
                    PayloadCase{"countBelowData", payloadWithCount(8, 9), false},
                    PayloadCase{"shorterThanItsHeader", Bytes{0x00, 0x02, 0x00, 0x00, 0x01, 0x00, 0x00},
                                false},
                    PayloadCase{"pastTheEndOfMemory", chunkPayload(0xFFFFFFFF, {0x42, 0x43, 0x44}), false}),
    [](const testing::TestParamInfo<PayloadCase>& info) { return std::string(info.param.name); });

TEST(SimulatedDeviceFrames, AnswersUnknownCodesAndAWrongFinishWithErrorReply) {
    Rig rig;
    ASSERT_TRUE(rig.startInUpdateMode());
    EXPECT_EQ(rig.ask(0x1234).frame, errorFrame);
    EXPECT_EQ(rig.ask(Code::Finish, {0x04}).frame, errorFrame);
    EXPECT_EQ(rig.ask(Code::Finish).frame, errorFrame);
    EXPECT_TRUE(rig.device->inUpdateMode());
    EXPECT_FALSE(rig.device->finished());
}

// Flash: erased bytes are 0xFF, programming only clears bits.
TEST(SimulatedDeviceFlash, ProgrammingAndsIntoMemory) {
    sim::Config config;
    config.eraseTimeMs = 0;
    Rig rig;
    ASSERT_TRUE(rig.startInUpdateMode(config));
    sim::SimulatedDevice& device = *rig.device;
    const Bytes image{0xF0, 0x0F, 0xFF, 0x00};

    const Bytes old = device.memory(0x400, 4);
    for (const std::uint8_t b : device.memory(0, 4096))
        ASSERT_NE(b, 0xFF) << "the old firmware must not look erased";
    EXPECT_EQ(rig.ask(Code::ProgramChunk, chunkPayload(0x400, image)).frame, ackFrame);
    Bytes anded(4);
    for (std::size_t i = 0; i < 4; ++i)
        anded[i] = old[i] & image[i];
    EXPECT_EQ(device.memory(0x400, 4), anded) << "programming over old firmware";
    EXPECT_EQ(rig.ask(Code::VerifyChunk, chunkPayload(0x400, image)).frame, errorFrame);

    EXPECT_EQ(rig.ask(Code::EraseAll).frame, ackFrame);
    EXPECT_EQ(rig.ask(Code::ProgramChunk, chunkPayload(0x400, image)).frame, ackFrame);
    EXPECT_EQ(rig.ask(Code::VerifyChunk, chunkPayload(0x400, image)).frame, ackFrame);
    EXPECT_EQ(rig.ask(Code::ProgramChunk, chunkPayload(0x400, {0x3C, 0x3C, 0x3C, 0x3C})).frame, ackFrame);
    EXPECT_EQ(device.memory(0x400, 4), (Bytes{0x30, 0x0C, 0x3C, 0x00}));
}

TEST(SimulatedDeviceFlash, PreloadedMemoryMakesVerifyFail) {
    sim::Config config;
    config.eraseTimeMs = 0;
    Rig rig;
    ASSERT_TRUE(rig.startInUpdateMode(config));
    const Bytes image{1, 2, 3, 4};
    rig.device->setMemory(0x50002, image);
    EXPECT_EQ(rig.device->memory(0x50002, 4), image);
    EXPECT_EQ(rig.ask(Code::VerifyChunk, chunkPayload(0x50002, image)).frame, ackFrame);
    rig.device->setMemory(0x50003, {9});
    EXPECT_EQ(rig.device->memory(0x50002, 4), (Bytes{1, 2, 9, 4}));
    EXPECT_EQ(rig.ask(Code::VerifyChunk, chunkPayload(0x50002, image)).frame, errorFrame);
}

TEST(SimulatedDeviceFlash, MemoryStopsAtTheEndOfTheAddressSpace) {
    sim::SimulatedDevice device;
    EXPECT_EQ(device.memory(0xFFFFFFFF, 10).size(), 2u);
    device.setMemory(0xFFFFFFFF, {1, 2, 3}); // ignored: it does not fit
    EXPECT_NE(device.memory(0xFFFFFFFF, 2), (Bytes{1, 2}));
}

// Writing far apart costs a page each; past the budget, chunks are refused rather than memory grown.
TEST(SimulatedDeviceFlash, WrittenPagesAreBounded) {
    sim::FlashMemory flash;
    const std::uint8_t byte = 0;
    std::size_t accepted = 0;
    for (std::uint64_t page = 0; page < sim::FlashMemory::maxPages + 10; ++page)
        accepted += flash.program(page * sim::FlashMemory::pageSize, &byte, 1) ? 1 : 0;
    EXPECT_EQ(accepted, sim::FlashMemory::maxPages);
    EXPECT_TRUE(flash.program(5, &byte, 1)) << "pages already there stay writable";
}

} // namespace
} // namespace simtest

#include "PseudoTerminal.h"
#include "link/ChunkPayload.h"
#include "link/Protocole.h"
#include "vtc880/DeviceCodes.h"

#include <climits>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

using namespace vtc880;

namespace {

using namespace std::chrono_literals;

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

struct SendCase {
    const char* name;
    std::uint16_t code;
    Bytes data;
    Bytes line;
};

const SendCase sendCases[] = {
    {"handshake", Code::Handshake, {}, {0x2A, 0x54, 0x44, 0x00, 0x00, 0x00, 0x00, 0x2B, 0xED}},
    {"finish", Code::Finish, {0x03}, {0x2A, 0x46, 0x45, 0x01, 0x00, 0x00, 0x00, 0x03, 0x2B, 0xE4}},
    {"programChunk",
     Code::ProgramChunk,
     {0x02, 0x00, 0x05, 0x00, 0x05, 0x00, 0x00, 0x00, 1, 2, 3, 4, 5},
     {0x2A, 0x46, 0x50, 0x0D, 0x00, 0x00, 0x00, 0x02, 0x00, 0x05, 0x00,
      0x05, 0x00, 0x00, 0x00, 1,    2,    3,    4,    5,    0x2B, 0x13}},
    {"fullVerifyChunk", Code::VerifyChunk, Bytes{0x78, 0x56, 0x34, 0x12, 100, 0, 0, 0} + Bytes(100, 0xFF),
     Bytes{0x2A, 0x46, 0x56, 108, 0, 0, 0, 0x78, 0x56, 0x34, 0x12, 100, 0, 0, 0} + Bytes(100, 0xFF) +
         Bytes{0x2B, 0x71}},
};

class FrameSend : public testing::TestWithParam<SendCase> {};

TEST_P(FrameSend, PutsTheFrameOnTheLine) {
    const SendCase& c = GetParam();
    PseudoTerminal pty;
    Protocole p(pty.portPath(), 115200);
    ASSERT_FALSE(p.error);
    p.send(c.code, std::uint32_t(c.data.size()), c.data.empty() ? nullptr : c.data.data());
    EXPECT_EQ(pty.take(c.line.size()), c.line);
    EXPECT_TRUE(pty.take(1, 100ms).empty()); // nothing more
}

INSTANTIATE_TEST_SUITE_P(Frames, FrameSend, testing::ValuesIn(sendCases),
                         [](const testing::TestParamInfo<SendCase>& info) {
                             return std::string(info.param.name);
                         });

TEST(FrameSend, DataMissingForItsSizeSendsNothing) {
    PseudoTerminal pty;
    Protocole p(pty.portPath(), 115200);
    ASSERT_FALSE(p.error);
    p.send(Code::ProgramChunk, 8, nullptr);
    EXPECT_TRUE(pty.take(1, 100ms).empty());
}

TEST(ChunkPayloadBuild, AddressCountAndBytesLittleEndian) {
    Bytes image(Chunk::maxBytes);
    for (std::size_t k = 0; k < image.size(); ++k)
        image[k] = std::uint8_t(0xA0 + k);

    ChunkPayload payload{};
    EXPECT_EQ(buildChunkPayload(payload, 0x50002, image.data(), 5), 13u);
    EXPECT_EQ(Bytes(payload.begin(), payload.begin() + 13),
              Bytes({0x02, 0x00, 0x05, 0x00, 0x05, 0x00, 0x00, 0x00, 0xA0, 0xA1, 0xA2, 0xA3, 0xA4}));

    EXPECT_EQ(buildChunkPayload(payload, 0x12345678, image.data(), Chunk::maxBytes), Chunk::maxPayload);
    EXPECT_EQ(Bytes(payload.begin(), payload.begin() + 8), Bytes({0x78, 0x56, 0x34, 0x12, 100, 0, 0, 0}));
    EXPECT_EQ(Bytes(payload.begin() + 8, payload.end()), image);
}

TEST(ChunkPayloadBuild, RefusesEmptyAndOversizedChunks) {
    const Bytes image(Chunk::maxBytes + 1, 0x55);
    ChunkPayload payload;
    payload.fill(0xEE);
    const ChunkPayload before = payload;
    for (const std::uint32_t count : {0u, Chunk::maxBytes + 1, 0xFFFFFFFFu}) {
        SCOPED_TRACE(count);
        EXPECT_EQ(buildChunkPayload(payload, 0, image.data(), count), 0u);
        EXPECT_EQ(payload, before);
    }
}

// A clock that records each pause together with the bytes the port put out since the last one.
class PacingRecorder : public Clock {
  public:
    explicit PacingRecorder(PseudoTerminal& pty) : pty(pty) {}

    std::chrono::steady_clock::duration now() override { return elapsed; }
    void sleep(std::chrono::milliseconds duration) override {
        Bytes sent = pty.take(1, 2s);
        // A little longer, so bytes written ahead of their pause would be seen here.
        const Bytes more = pty.take(64, 20ms);
        sent.insert(sent.end(), more.begin(), more.end());
        pauses.push_back({std::string(sent.begin(), sent.end()), int(duration.count())});
        elapsed += duration;
    }

    struct Pause {
        std::string sentBefore;
        int ms;
        bool operator==(const Pause&) const = default;
    };
    std::vector<Pause> pauses;

  private:
    PseudoTerminal& pty;
    std::chrono::steady_clock::duration elapsed{};
};

std::vector<PacingRecorder::Pause> eachCharacterThenPause(const std::string& text, int ms) {
    std::vector<PacingRecorder::Pause> v;
    for (const char c : text)
        v.push_back({std::string(1, c), ms});
    return v;
}

TEST(AsciiCommands, PreambleOneCharacterThenTenMilliseconds) {
    PseudoTerminal pty;
    PacingRecorder clock(pty);
    Protocole p(pty.portPath(), 115200, clock);
    ASSERT_FALSE(p.error);
    p.sendDownload();
    EXPECT_EQ(clock.pauses, eachCharacterThenPause("FIRMWAREUPDATE\r$KQ-", 10));
    EXPECT_TRUE(pty.take(1, 100ms).empty());
}

TEST(AsciiCommands, SpeedCommandOneCharacterThenFiftyMilliseconds) {
    const struct {
        int a, b;
        std::string text;
    } cases[] = {{1, 115200, "1BR115200\r"},
                 {2, 115200, "2BR115200\r"},
                 {INT_MIN, INT_MAX, "-2147483648BR2147483647\r"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        PseudoTerminal pty;
        PacingRecorder clock(pty);
        Protocole p(pty.portPath(), 19200, clock);
        ASSERT_FALSE(p.error);
        p.changeBaudRate(c.a, c.b);
        EXPECT_EQ(clock.pauses, eachCharacterThenPause(c.text, 50));
        EXPECT_TRUE(pty.take(1, 100ms).empty());
    }
}

TEST(AsciiCommands, PreambleOnTheRealClockTakesItsPauses) {
    PseudoTerminal pty;
    Protocole p(pty.portPath(), 115200);
    ASSERT_FALSE(p.error);
    const auto start = std::chrono::steady_clock::now();
    p.sendDownload();
    const auto took = std::chrono::steady_clock::now() - start;
    const std::string preamble = "FIRMWAREUPDATE\r$KQ-";
    EXPECT_GE(took, std::chrono::milliseconds(Preamble::charPauseMs) * preamble.size());
    EXPECT_EQ(pty.take(preamble.size()), Bytes(preamble.begin(), preamble.end()));
}

} // namespace

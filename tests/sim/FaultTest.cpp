#include "Rig.h"

#include <climits>
#include <functional>

using namespace vtc880;

namespace simtest {
namespace {

// What the updater sees in answer to one request.
enum class Seen {
    ack,          // a valid Ack (with the given data, if any)
    shortAck,     // a valid Ack with fewer than four data bytes
    error,        // a valid ErrorReply
    nothing,      // no byte at all
    otherCommand, // a valid frame whose command is neither Ack nor ErrorReply
    badChecksum,  // an Ack whose checksum is wrong
    noiseThenAck, // junk without a start byte, then a valid Ack
    splitAck,     // a valid Ack with a long pause inside it
    hangUp,       // the line is gone
};

struct Step {
    std::uint16_t code;
    Bytes data;
    Seen seen;
    std::optional<Bytes> replyData = {};
    std::chrono::milliseconds atLeast{0}; // the reply comes no sooner than this after the request
};

struct FaultCase {
    const char* name;
    std::function<void(sim::Config&)> configure;
    std::vector<Step> steps;
    std::function<void(const sim::SimulatedDevice&)> after = [](const sim::SimulatedDevice&) {};
};

void PrintTo(const FaultCase& c, std::ostream* os) {
    *os << c.name;
}

bool valid(const Bytes& f) {
    if (f.size() < 8 || f[0] != '*')
        return false;
    const std::uint32_t length = f[2] | f[3] << 8 | f[4] << 16 | std::uint32_t(f[5]) << 24;
    if (f.size() != 8 + length || f[f.size() - 2] != '+')
        return false;
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i + 1 < f.size(); ++i)
        sum += f[i];
    return sum == f.back();
}

Bytes dataOf(const Bytes& f) {
    return f.size() >= 8 ? Bytes(f.begin() + 6, f.end() - 2) : Bytes{};
}

const Bytes someBytes{0x11, 0x22, 0x33, 0x44};

Bytes chunk(int k) {
    return chunkPayload(0x1000 + 2 * std::uint32_t(k), someBytes);
}

class Faults : public testing::TestWithParam<FaultCase> {};

TEST_P(Faults, DoWhatTheySay) {
    const FaultCase& c = GetParam();
    sim::Config config;
    config.eraseTimeMs = 0;
    c.configure(config);
    Rig rig;
    ASSERT_TRUE(rig.startInUpdateMode(config));
    for (std::size_t i = 0; i < c.steps.size(); ++i) {
        const Step& step = c.steps[i];
        SCOPED_TRACE("step " + std::to_string(i));
        const auto sent = std::chrono::steady_clock::now();
        if (step.seen == Seen::nothing) {
            EXPECT_TRUE(rig.askExpectingSilence(step.code, step.data).empty());
            continue;
        }
        const SlavePort::Reply reply = rig.ask(step.code, step.data);
        const Bytes& f = reply.frame;
        if (step.seen == Seen::hangUp) {
            EXPECT_TRUE(reply.hungUp);
            EXPECT_TRUE(f.empty());
            continue;
        }
        ASSERT_FALSE(f.empty()) << "no reply";
        EXPECT_GE(reply.lastByte - sent, step.atLeast);
        if (step.seen != Seen::noiseThenAck) {
            EXPECT_TRUE(reply.before.empty());
        }
        switch (step.seen) {
        case Seen::ack:
        case Seen::splitAck:
            EXPECT_TRUE(valid(f));
            EXPECT_EQ(f[1], Reply::Ack);
            if (step.replyData) {
                EXPECT_EQ(dataOf(f), *step.replyData);
            }
            if (step.seen == Seen::splitAck) {
                EXPECT_GE(reply.longestGap, step.atLeast / 2) << "the reply came in one piece";
            }
            break;
        case Seen::shortAck:
            EXPECT_TRUE(valid(f));
            EXPECT_EQ(f[1], Reply::Ack);
            EXPECT_LT(dataOf(f).size(), 4u);
            break;
        case Seen::error:
            EXPECT_EQ(f, errorFrame);
            break;
        case Seen::otherCommand:
            EXPECT_TRUE(valid(f));
            EXPECT_NE(f[1], Reply::Ack);
            EXPECT_NE(f[1], Reply::ErrorReply);
            break;
        case Seen::badChecksum:
            EXPECT_FALSE(valid(f));
            EXPECT_EQ(Bytes(f.begin(), f.end() - 1), Bytes(ackFrame.begin(), ackFrame.end() - 1));
            break;
        case Seen::noiseThenAck:
            EXPECT_FALSE(reply.before.empty());
            EXPECT_EQ(f, ackFrame);
            break;
        case Seen::nothing:
        case Seen::hangUp:
            break;
        }
    }
    c.after(*rig.device);
}

const Bytes noData;

INSTANTIATE_TEST_SUITE_P(
    SimulatedDevice, Faults,
    testing::Values(
        FaultCase{"none",
                  [](sim::Config&) {},
                  {{Code::Handshake, noData, Seen::ack, Bytes{}},
                   {Code::EraseTimeQuery, noData, Seen::ack, Bytes{0, 0, 0, 0}},
                   {Code::EraseAll, noData, Seen::ack},
                   {Code::ProgramChunk, chunk(0), Seen::ack}}},
        FaultCase{"silent",
                  [](sim::Config& c) { c.silent = true; },
                  {{Code::Handshake, noData, Seen::nothing}, {Code::EraseTimeQuery, noData, Seen::nothing}},
                  [](const sim::SimulatedDevice& d) {
                      EXPECT_EQ(d.frameCodes(),
                                (std::vector<std::uint16_t>{Code::Handshake, Code::EraseTimeQuery}));
                  }},
        FaultCase{"silentOnOneCode",
                  [](sim::Config& c) { c.silentOn = Code::EraseTimeQuery; },
                  {{Code::Handshake, noData, Seen::ack},
                   {Code::EraseTimeQuery, noData, Seen::nothing},
                   {Code::Handshake, noData, Seen::ack}}},
        FaultCase{"wrongCommand",
                  [](sim::Config& c) { c.wrongCommandOn = Code::Handshake; },
                  {{Code::Handshake, noData, Seen::otherCommand}, {Code::EraseTimeQuery, noData, Seen::ack}}},
        FaultCase{"badChecksum",
                  [](sim::Config& c) { c.badChecksumOn = Code::Handshake; },
                  {{Code::Handshake, noData, Seen::badChecksum}, {Code::EraseTimeQuery, noData, Seen::ack}}},
        FaultCase{
            "noiseBetweenFrames",
            [](sim::Config& c) { c.noiseBetweenFrames = true; },
            {{Code::Handshake, noData, Seen::noiseThenAck}, {Code::Handshake, noData, Seen::noiseThenAck}}},
        FaultCase{"splitReply",
                  [](sim::Config& c) { c.splitReplyPauseMs = 400; },
                  {{Code::Handshake, noData, Seen::splitAck, Bytes{}, 400ms}}},
        FaultCase{"replyDelay",
                  [](sim::Config& c) { c.replyDelayMs = 300; },
                  {{Code::Handshake, noData, Seen::ack, Bytes{}, 300ms}}},
        FaultCase{"errorOnErase",
                  [](sim::Config& c) { c.errorOnErase = true; },
                  {{Code::EraseAll, noData, Seen::error}},
                  [](const sim::SimulatedDevice& d) {
                      EXPECT_NE(d.memory(0, 4), Bytes(4, 0xFF)) << "a failed erase erased";
                  }},
        FaultCase{"eraseLongerThanAnnounced",
                  [](sim::Config& c) {
                      c.eraseTimeMs = 50;
                      c.eraseActualMs = 400;
                  },
                  {{Code::EraseTimeQuery, noData, Seen::ack, Bytes{50, 0, 0, 0}},
                   {Code::EraseAll, noData, Seen::ack, Bytes{}, 400ms}}},
        FaultCase{"negativeEraseTime",
                  [](sim::Config& c) { c.eraseTimeMs = -5; },
                  {{Code::EraseTimeQuery, noData, Seen::ack, Bytes{0xFB, 0xFF, 0xFF, 0xFF}},
                   {Code::EraseAll, noData, Seen::ack}}},
        FaultCase{"shortEraseTimeAck",
                  [](sim::Config& c) {
                      c.eraseTimeMs = 0x12345678;
                      c.shortEraseTimeAck = true;
                  },
                  {{Code::EraseTimeQuery, noData, Seen::shortAck}}},
        FaultCase{"errorOnChunk",
                  [](sim::Config& c) { c.errorOnChunk = 1; },
                  {{Code::ProgramChunk, chunk(0), Seen::ack},
                   {Code::ProgramChunk, chunk(1), Seen::error},
                   {Code::ProgramChunk, chunk(2), Seen::ack},
                   {Code::ProgramChunk, chunk(1), Seen::ack}},
                  [](const sim::SimulatedDevice& d) { EXPECT_EQ(d.chunksProgrammed(), 3); }},
        FaultCase{"hangUpAfterChunks",
                  [](sim::Config& c) { c.hangUpAfterChunks = 2; },
                  {{Code::EraseAll, noData, Seen::ack},
                   {Code::ProgramChunk, chunk(0), Seen::ack},
                   {Code::ProgramChunk, chunk(1), Seen::ack},
                   {Code::ProgramChunk, chunk(2), Seen::hangUp}},
                  [](const sim::SimulatedDevice& d) {
                      EXPECT_TRUE(d.hungUp());
                      EXPECT_EQ(d.chunksProgrammed(), 2);
                      EXPECT_EQ(d.memory(0x1004, 4), Bytes(4, 0xFF)) << "the chunk that hung up was written";
                  }},
        FaultCase{"hangUpBeforeAnyChunk",
                  [](sim::Config& c) { c.hangUpAfterChunks = 0; },
                  {{Code::Handshake, noData, Seen::ack}, {Code::ProgramChunk, chunk(0), Seen::hangUp}}}),
    [](const testing::TestParamInfo<FaultCase>& info) { return std::string(info.param.name); });

// An erase announced as taking 24 days neither blocks the device's owner nor outlives it.
TEST(SimulatedDeviceStop, CutsAnEndlessEraseShort) {
    sim::Config config;
    config.eraseTimeMs = INT32_MAX;
    Rig rig;
    ASSERT_TRUE(rig.startInUpdateMode(config));
    EXPECT_EQ(dataOf(rig.ask(Code::EraseTimeQuery).frame), (Bytes{0xFF, 0xFF, 0xFF, 0x7F}));
    rig.port->write(commandFrame(Code::EraseAll));
    ASSERT_TRUE(eventually([&] { return rig.device->frameCodes().size() == 2; }));
    rig.device->stop();
    EXPECT_TRUE(rig.port->readFor(100ms).empty());
}

} // namespace
} // namespace simtest

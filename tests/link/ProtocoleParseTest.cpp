#include "PseudoTerminal.h"
#include "link/Protocole.h"
#include "vtc880/DeviceCodes.h"

#include <atomic>
#include <chrono>
#include <gtest/gtest.h>
#include <poll.h>
#include <thread>
#include <unistd.h>

using namespace vtc880;

namespace {

// A frame as the device sends it: '*', command byte, length LE32, data, '+', checksum.
Bytes deviceFrame(std::uint8_t command, const Bytes& data, std::uint32_t length) {
    Bytes f = {Frame::start,
               command,
               std::uint8_t(length),
               std::uint8_t(length >> 8),
               std::uint8_t(length >> 16),
               std::uint8_t(length >> 24)};
    f.insert(f.end(), data.begin(), data.end());
    f.push_back(Frame::end);
    std::uint8_t sum = 0;
    for (const std::uint8_t b : f)
        sum = std::uint8_t(sum + b);
    f.push_back(sum);
    return f;
}

Bytes deviceFrame(std::uint8_t command, const Bytes& data) {
    return deviceFrame(command, data, std::uint32_t(data.size()));
}

Bytes pattern(std::size_t n) {
    Bytes b(n);
    for (std::size_t k = 0; k < n; ++k)
        b[k] = std::uint8_t(k * 13 + 5);
    return b;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Bytes ack = {0x2A, 0x21, 0x00, 0x00, 0x00, 0x00, 0x2B, 0x76};

struct After {
    std::uint8_t command;
    std::uint32_t dataSize;
    bool commandReady;
    std::uint8_t state;
};

struct Step {
    Bytes bytes;
    After after;
    Bytes data = {};    // when given, the head of `data` after the step
    bool purge = false; // the caller purges the port before these bytes come (a new request)
};

struct ParseCase {
    const char* name;
    std::vector<Step> steps;
};

// Before each step the caller clears commandReady, as every caller does before it waits for a reply.
const ParseCase parseCases[] = {
    {"validAck", {{ack, {0x21, 0, true, 0}}}},
    {"badChecksumThenRecovers",
     {{{0x2A, 0x21, 0x00, 0x00, 0x00, 0x00, 0x2B, 0x77}, {0x21, 0, false, 0}}, {ack, {0x21, 0, true, 0}}}},
    {"twoHundredBytes", {{deviceFrame('!', pattern(200)), {0x21, 200, true, 0}, pattern(200)}}},
    {"lengthBytesLittleEndian",
     {{{0x2A, 0x45, 0xC8, 0x00, 0x00, 0x00}, {0x45, 200, false, 3}},
      {pattern(200) + Bytes{0x2B}, {0x45, 200, false, 5}}}},
    {"noiseBeforeStart",
     {{{0x00, 0xFF, 0x2B, 0x21, 0x76}, {0, 0, false, 0}}, {Bytes{0x55, 0x2B} + ack, {0x21, 0, true, 0}}}},
    {"strayStartInData", {{deviceFrame('E', {0x2A, 0x2A, 0x01}), {0x45, 3, true, 0}, {0x2A, 0x2A, 0x01}}}},
    {"startInEndPositionIsConsumed",
     {{{0x2A, 0x21, 0x00, 0x00, 0x00, 0x00, 0x2A}, {0x21, 0, false, 0}},
      {{0x21, 0x00, 0x00, 0x00, 0x00, 0x2B, 0x76}, {0x21, 0, false, 0}}}},
    {"startInChecksumPositionIsConsumed",
     {{{0x2A, 0x45, 0x00, 0x00, 0x00, 0x00, 0x2B, 0x2A}, {0x45, 0, false, 0}},
      {{0x21, 0x00, 0x00, 0x00, 0x00, 0x2B, 0x76}, {0x45, 0, false, 0}}}},
    {"splitAcrossCalls",
     {{{0x2A, 0x21, 0x01, 0x00}, {0x21, 1, false, 2}},
      {{0x00, 0x00, 0x5A, 0x2B}, {0x21, 1, false, 5}},
      {{0xD1}, {0x21, 1, true, 0}, {0x5A}}}},
    // A reply cut after its command byte: the next reply's first four bytes become the old frame's
    // length (0x212A), and that reply is lost inside the old frame's data.
    {"staleLength",
     {{{0x2A, 0x21}, {0x21, 0, false, 2}},
      {ack, {0x21, 0x212A, false, 3}, {}, true},
      {Bytes(0x212A - 4, 0x00) + ack, {0x21, 0x212A, false, 0}, {}, true},
      {ack, {0x21, 0, true, 0}, {}, true}}},
    {"fullBuffer",
     {{deviceFrame('!', pattern(Frame::receiveCapacity)),
       {0x21, Frame::receiveCapacity, true, 0},
       pattern(Frame::receiveCapacity)}}},
    // Longer than the buffer: read to its end, kept only up to the capacity, refused though its
    // checksum is right; the next frame is taken normally.
    {"oneByteOverCapacity",
     {{deviceFrame('!', pattern(Frame::receiveCapacity + 1)),
       {0x21, Frame::receiveCapacity + 1, false, 0},
       pattern(Frame::receiveCapacity)},
      {ack, {0x21, 0, true, 0}}}},
};

void expectAfter(const Protocole& p, const Step& step) {
    EXPECT_EQ(p.command, step.after.command);
    EXPECT_EQ(p.dataSize, step.after.dataSize);
    EXPECT_EQ(p.commandReady, step.after.commandReady);
    EXPECT_EQ(p.parserState(), step.after.state);
    if (!step.data.empty()) {
        EXPECT_TRUE(std::equal(step.data.begin(), step.data.end(), p.data.get()));
    }
}

class FrameParser : public testing::TestWithParam<ParseCase> {};

TEST_P(FrameParser, ByteByByte) {
    Protocole p("", 115200); // no port needed to feed the parser
    for (std::size_t s = 0; s < GetParam().steps.size(); ++s) {
        SCOPED_TRACE("step " + std::to_string(s));
        const Step& step = GetParam().steps[s];
        p.commandReady = false;
        if (step.purge)
            p.purge();
        for (const std::uint8_t b : step.bytes)
            p.parse(b);
        expectAfter(p, step);
    }
}

// Each step is one extract() call: it reads until a frame completes or the line stays quiet for the
// poll's wait (500 ms here: long enough to take a whole 16 KiB frame on a loaded machine).
TEST_P(FrameParser, ThroughExtractOverTheLine) {
    PseudoTerminal pty;
    Protocole p(pty.portPath(), 115200);
    ASSERT_FALSE(p.error);
    for (std::size_t s = 0; s < GetParam().steps.size(); ++s) {
        SCOPED_TRACE("step " + std::to_string(s));
        const Step& step = GetParam().steps[s];
        p.commandReady = false;
        if (step.purge)
            p.purge();
        // What the tty cannot buffer is sent while extract() reads.
        const std::size_t head = std::min<std::size_t>(step.bytes.size(), 1024);
        pty.put(Bytes(step.bytes.begin(), step.bytes.begin() + head));
        std::thread device([&] { pty.put(Bytes(step.bytes.begin() + head, step.bytes.end())); });
        p.extract(std::chrono::milliseconds(500));
        device.join();
        expectAfter(p, step);
    }
}

INSTANTIATE_TEST_SUITE_P(Frames, FrameParser, testing::ValuesIn(parseCases),
                         [](const testing::TestParamInfo<ParseCase>& info) {
                             return std::string(info.param.name);
                         });

// A length field near 16 MiB: every byte is consumed without a write past the buffer, the frame is
// refused although its checksum is right, and the next frame is taken normally.
TEST(FrameParser, HugeLengthIsReadToItsEndAndRefused) {
    Protocole p("", 115200);
    const Bytes header = {0x2A, 0x21, 0x00, 0x40, 0x00, 0x01};
    std::uint8_t sum = 0;
    for (const std::uint8_t b : header) {
        p.parse(b);
        sum = std::uint8_t(sum + b);
    }
    EXPECT_EQ(p.dataSize, 0x01004000u);
    for (std::uint32_t k = 0; k < 0x01004000u; ++k) {
        const std::uint8_t b = std::uint8_t(k * 13 + 5);
        p.parse(b);
        sum = std::uint8_t(sum + b);
    }
    EXPECT_EQ(p.parserState(), 4);
    p.parse(Frame::end);
    p.parse(std::uint8_t(sum + Frame::end));
    EXPECT_FALSE(p.commandReady);
    EXPECT_EQ(p.parserState(), 0);
    EXPECT_EQ(p.dataSize, 0x01004000u);
    EXPECT_EQ(p.data[Frame::receiveCapacity - 1], std::uint8_t((Frame::receiveCapacity - 1) * 13 + 5));
    for (const std::uint8_t b : ack)
        p.parse(b);
    EXPECT_TRUE(p.commandReady);
    EXPECT_EQ(p.dataSize, 0u);
}

TEST(FrameParser, StartsHunting) {
    const Protocole p("", 115200);
    EXPECT_FALSE(p.commandReady);
    EXPECT_EQ(p.command, 0);
    EXPECT_EQ(p.dataSize, 0u);
    EXPECT_EQ(p.parserState(), 0);
    ASSERT_NE(p.data, nullptr);
}

// Each object parses on its own: several ports may be read at once.
TEST(FrameParser, StateBelongsToEachObject) {
    Protocole a("", 115200), b("", 115200);
    const Bytes frameA = deviceFrame('!', {1, 2, 3});
    const Bytes frameB = deviceFrame('E', pattern(5));
    for (std::size_t k = 0; k < frameB.size(); ++k) {
        if (k < frameA.size())
            a.parse(frameA[k]);
        b.parse(frameB[k]);
    }
    EXPECT_TRUE(a.commandReady);
    EXPECT_EQ(a.command, 0x21);
    EXPECT_EQ(a.dataSize, 3u);
    EXPECT_TRUE(b.commandReady);
    EXPECT_EQ(b.command, 0x45);
    EXPECT_EQ(b.dataSize, 5u);
}

constexpr std::chrono::milliseconds generousWait{1000};

TEST(FrameExtract, ReadyOnEntryTakesOneByteOnly) {
    PseudoTerminal pty;
    Protocole p(pty.portPath(), 115200);
    ASSERT_FALSE(p.error);
    pty.put(ack + ack);
    // A busy machine may hand the written bytes to the reading side late; the poll ends at the frame's
    // end all the same, so a long wait costs nothing when the bytes are there.
    p.extract(generousWait);
    EXPECT_TRUE(p.commandReady);
    p.extract(generousWait); // the caller forgot to clear the flag
    EXPECT_TRUE(p.commandReady);
    EXPECT_EQ(p.parserState(), 1);
    p.commandReady = false;
    p.extract(generousWait);
    EXPECT_TRUE(p.commandReady);
    EXPECT_EQ(p.parserState(), 0);
}

TEST(FrameExtract, OpeningDiscardsWhatWaitedOnTheLine) {
    PseudoTerminal pty;
    pty.put(Bytes{0x2A, 0x21}); // a reply cut short before the port was opened
    Protocole p(pty.portPath(), 115200);
    ASSERT_FALSE(p.error);
    pty.put(ack);
    p.extract(generousWait);
    EXPECT_TRUE(p.commandReady);
    EXPECT_EQ(p.dataSize, 0u);
}

// Noise that never forms a frame and never pauses (a device talking at another speed) must not hold a
// poll: extract() returns while the noise is still coming, so the callers' poll limits still hold.
TEST(FrameExtract, LineThatNeverFallsQuietEndsThePollAllTheSame) {
    PseudoTerminal pty;
    Protocole p(pty.portPath(), 115200);
    ASSERT_FALSE(p.error);
    pty.put(Bytes(4096, 0x55)); // busy before the poll begins
    std::atomic<bool> stop{false};
    std::atomic<bool> stopped{false};
    std::thread device([&] {
        const Bytes noise(256, 0x55);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!stop && std::chrono::steady_clock::now() < end) {
            pollfd out{pty.master(), POLLOUT, 0};
            if (::poll(&out, 1, 10) > 0 && (out.revents & POLLOUT) != 0) {
                [[maybe_unused]] const ssize_t put = ::write(pty.master(), noise.data(), noise.size());
            }
        }
        stopped = true;
    });
    p.extract();
    const bool stillComing = !stopped;
    stop = true;
    device.join();
    EXPECT_TRUE(stillComing);
    EXPECT_FALSE(p.commandReady);
}

TEST(FrameExtract, PortThatDidNotOpenReturnsAtOnce) {
    Protocole p("/dev/vtc880-no-such-port", 115200);
    ASSERT_TRUE(p.error);
    p.extract();
    EXPECT_FALSE(p.commandReady);
    EXPECT_EQ(p.parserState(), 0);
}

} // namespace

#include "link/ChunkPayload.h"
#include "link/Protocole.h"
#include "sim/SimulatedDevice.h"
#include "vtc880/DeviceCodes.h"
#include "vtc880/LittleEndian.h"

#include <gtest/gtest.h>
#include <thread>

using namespace vtc880;

namespace {

// Pauses return at once: the device does not depend on the pacing, only on the bytes.
class InstantClock : public Clock {
  public:
    std::chrono::steady_clock::duration now() override {
        return std::chrono::steady_clock::now().time_since_epoch();
    }
    void sleep(std::chrono::milliseconds) override {}
};

// Without the pacing's pauses the test must give the device time to read what was sent before the
// next open purges the line, as the pauses do for the real updater.
template <typename Condition> bool waitFor(Condition condition) {
    for (int wait = 0; wait < 2000 && !condition(); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return condition();
}

// Waits for one reply the way the workers do, but with a generous budget: this test is about the bytes.
bool reply(Protocole& link) {
    link.commandReady = false;
    for (int poll = 0; poll < 2000 && !link.commandReady; ++poll) {
        link.extract();
    }
    return link.commandReady;
}

// The updater's link code and the simulated device were written apart from each other; a whole
// conversation between them shows that both read the frame tables the same way.
TEST(LinkTalksToDevice, WholeConversation) {
    sim::Config config;
    config.eraseTimeMs = 1234;
    config.eraseActualMs = 0;
    sim::SimulatedDevice device(config);
    ASSERT_TRUE(device.start()) << device.startError();
    InstantClock clock;

    {
        Protocole first(device.portPath(), Speed::rs232Initial, clock);
        ASSERT_FALSE(first.error);
        first.changeBaudRate(1, Speed::update);
        ASSERT_TRUE(waitFor([&] { return device.speed() == Speed::update; }));
    }
    {
        Protocole second(device.portPath(), Speed::update, clock);
        second.changeBaudRate(2, Speed::update);
        ASSERT_TRUE(waitFor([&] { return device.transcriptSize() == 2; }));
    }
    Protocole link(device.portPath(), Speed::update, clock);
    ASSERT_FALSE(link.error);
    link.sendDownload();
    ASSERT_TRUE(waitFor([&] { return device.inUpdateMode(); }));
    link.purge();

    link.send(Code::Handshake, 0, nullptr);
    ASSERT_TRUE(reply(link));
    EXPECT_EQ(link.command, Reply::Ack);

    link.send(Code::EraseTimeQuery, 0, nullptr);
    ASSERT_TRUE(reply(link));
    ASSERT_GE(link.dataSize, 4u);
    EXPECT_EQ(std::int32_t(le::get32(link.data.get())), 1234);

    link.send(Code::EraseAll, 0, nullptr);
    ASSERT_TRUE(reply(link));
    EXPECT_NE(link.command, Reply::ErrorReply);

    const std::vector<std::uint8_t> bytes = {1, 2, 3, 4, 5};
    ChunkPayload payload;
    const std::uint32_t size = buildChunkPayload(payload, 0x132, bytes.data(), std::uint32_t(bytes.size()));
    link.send(Code::ProgramChunk, size, payload.data());
    ASSERT_TRUE(reply(link));
    EXPECT_NE(link.command, Reply::ErrorReply);
    EXPECT_EQ(device.memory(0x132, 5), bytes);

    link.send(Code::VerifyChunk, size, payload.data());
    ASSERT_TRUE(reply(link));
    EXPECT_NE(link.command, Reply::ErrorReply);

    const std::vector<std::uint8_t> other = {1, 2, 3, 4, 6};
    buildChunkPayload(payload, 0x132, other.data(), std::uint32_t(other.size()));
    link.send(Code::VerifyChunk, size, payload.data());
    ASSERT_TRUE(reply(link));
    EXPECT_EQ(link.command, Reply::ErrorReply);

    link.send(Code::Finish, 1, &finishSelector);
    for (int wait = 0; wait < 200 && !device.finished(); ++wait) {
        link.extract();
    }
    EXPECT_TRUE(device.finished());
    EXPECT_EQ(
        device.frameCodes(),
        (std::vector<std::uint16_t>{Code::Handshake, Code::EraseTimeQuery, Code::EraseAll, Code::ProgramChunk,
                                    Code::VerifyChunk, Code::VerifyChunk, Code::Finish}));
    EXPECT_EQ(device.speed(), Speed::update);
}

} // namespace

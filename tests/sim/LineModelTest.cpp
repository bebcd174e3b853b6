#include "Rig.h"
#include "sim/LineSpeed.h"

#include <thread>

using namespace vtc880;

namespace simtest {
namespace {

sim::Config lineModel(std::int32_t speed) {
    sim::Config config;
    config.lineModel = true;
    config.initialSpeed = speed;
    config.eraseTimeMs = 0;
    return config;
}

struct PacingCase {
    const char* name;
    std::int32_t speed;
    std::uint16_t code;
    Bytes data;
    std::chrono::milliseconds atLeast; // request and reply bytes at 10 bits each, less a little
};

void PrintTo(const PacingCase& c, std::ostream* os) {
    *os << c.name;
}

class LinePacing : public testing::TestWithParam<PacingCase> {};

TEST_P(LinePacing, EachByteTakesItsTimeBothWays) {
    const PacingCase& c = GetParam();
    Rig rig;
    ASSERT_TRUE(rig.startInUpdateMode(lineModel(c.speed)));
    const auto sent = std::chrono::steady_clock::now();
    const SlavePort::Reply reply = rig.ask(c.code, c.data);
    ASSERT_EQ(reply.frame, ackFrame);
    EXPECT_GE(reply.lastByte - sent, c.atLeast);
}

INSTANTIATE_TEST_SUITE_P(
    SimulatedDevice, LinePacing,
    testing::Values(
        // 9 + 8 bytes at 1200 bit/s: 142 ms.
        PacingCase{"handshakeAt1200", 1200, Code::Handshake, {}, 130ms},
        // 117 + 8 bytes at 9600 bit/s: 130 ms.
        PacingCase{"fullChunkAt9600", 9600, Code::ProgramChunk, chunkPayload(0x100, Bytes(100, 0)), 120ms}),
    [](const testing::TestParamInfo<PacingCase>& info) { return std::string(info.param.name); });

TEST(SimulatedDeviceLineModel, SpacesCharactersWrittenAtOnce) {
    Rig rig;
    ASSERT_TRUE(rig.start(lineModel(1200)));
    rig.port->write("1BR2400\r");
    ASSERT_TRUE(eventually([&] { return rig.device->transcriptSize() == 1; }));
    const std::vector<std::chrono::steady_clock::time_point> times = rig.device->transcript()[0].byteTimes;
    ASSERT_EQ(times.size(), 8u);
    for (std::size_t i = 1; i < times.size(); ++i)
        EXPECT_GE(times[i] - times[i - 1], 8ms) << "a character at 1200 bit/s takes 8.3 ms";
    EXPECT_EQ(rig.device->speed(), 2400);
}

// A device and an updater at different speeds do not understand each other, until both agree.
TEST(SimulatedDeviceLineModel, GarblesBytesBetweenDifferentSpeeds) {
    Rig rig;
    ASSERT_TRUE(rig.start(lineModel(19200)));
    sim::SimulatedDevice& device = *rig.device;
    SlavePort& port = *rig.port;

    port.setSpeed(115200);
    port.write("1BR115200\r");
    ASSERT_TRUE(eventually([&] { return device.transcriptSize() == 1; }));
    EXPECT_EQ(device.transcript()[0].text, std::string(10, '\0'));
    EXPECT_EQ(device.speed(), 19200);

    port.setSpeed(19200);
    port.write("1BR115200\r");
    ASSERT_TRUE(eventually([&] { return device.speed() == 115200; }));

    port.write("FIRMWAREUPDATE\r$KQ-"); // still at 19200: garbage to the device
    ASSERT_TRUE(eventually([&] { return device.transcriptSize() == 3; }));
    EXPECT_FALSE(device.inUpdateMode());

    port.setSpeed(115200);
    port.write("FIRMWAREUPDATE\r$KQ-");
    ASSERT_TRUE(eventually([&] { return device.inUpdateMode(); }));
    EXPECT_EQ(rig.ask(Code::Handshake).frame, ackFrame);

    port.setSpeed(9600);
    EXPECT_TRUE(rig.askExpectingSilence(Code::Handshake).empty());
}

TEST(SimulatedDeviceLineModel, RepliesArriveGarbledAtAnotherSpeed) {
    sim::Config config = lineModel(115200);
    config.replyDelayMs = 400;
    Rig rig;
    ASSERT_TRUE(rig.startInUpdateMode(config));
    rig.port->write(commandFrame(Code::Handshake));
    std::this_thread::sleep_for(100ms); // the device has the request and waits before it replies
    rig.port->setSpeed(19200);
    EXPECT_EQ(rig.port->readFor(1000ms), Bytes(8, sim::garbledByte));
}

TEST(SimulatedDeviceLineModel, WithoutItSpeedsAreRecordedButNotEnforced) {
    Rig rig;
    ASSERT_TRUE(rig.start());
    rig.port->setSpeed(921600);
    rig.port->write("1BR115200\r");
    ASSERT_TRUE(eventually([&] { return rig.device->speed() == 115200; }));
    rig.port->write("FIRMWAREUPDATE\r$KQ-");
    ASSERT_TRUE(eventually([&] { return rig.device->inUpdateMode(); }));
    EXPECT_EQ(rig.ask(Code::Handshake).frame, ackFrame);
    const std::vector<sim::Received> t = rig.device->transcript();
    ASSERT_EQ(t.size(), 4u);
    EXPECT_EQ(t[0].speed, 19200);
    EXPECT_EQ(t[3].speed, 115200);
}

} // namespace
} // namespace simtest

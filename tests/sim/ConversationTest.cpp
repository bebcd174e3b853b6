#include "Rig.h"

#include <sys/file.h>
#include <sys/ioctl.h>
#include <thread>

using namespace vtc880;

namespace simtest {
namespace {

using Kind = sim::Received::Kind;

TEST(SimulatedDeviceConversation, HelperBuildsTheUpdatersBytes) {
    EXPECT_EQ(commandFrame(Code::Handshake), (Bytes{0x2A, 0x54, 0x44, 0x00, 0x00, 0x00, 0x00, 0x2B, 0xED}));
    EXPECT_EQ(commandFrame(Code::Finish, {0x03}),
              (Bytes{0x2A, 0x46, 0x45, 0x01, 0x00, 0x00, 0x00, 0x03, 0x2B, 0xE4}));
}

// One update as the updater runs it, with the device's exact replies.
TEST(SimulatedDeviceConversation, AnswersAWholeUpdate) {
    sim::Config config;
    config.eraseTimeMs = 150;
    Rig rig;
    ASSERT_TRUE(rig.start(config));
    sim::SimulatedDevice& device = *rig.device;
    SlavePort& port = *rig.port;
    EXPECT_EQ(device.speed(), 19200);
    EXPECT_FALSE(device.inUpdateMode());

    port.write("1BR115200\r");
    ASSERT_TRUE(eventually([&] { return device.speed() == 115200; }));
    port.setSpeed(115200);
    port.write("2BR115200\r");
    port.write("FIRMWAREUPDATE\r");
    port.write("$KQ-");
    ASSERT_TRUE(eventually([&] { return device.inUpdateMode(); }));
    EXPECT_TRUE(port.readFor(50ms).empty()) << "the ASCII commands get no reply";

    EXPECT_EQ(rig.ask(Code::Handshake).frame, ackFrame);
    EXPECT_EQ(rig.ask(Code::EraseTimeQuery).frame,
              (Bytes{0x2A, 0x21, 0x04, 0x00, 0x00, 0x00, 0x96, 0x00, 0x00, 0x00, 0x2B, 0x10}));

    const auto eraseSent = std::chrono::steady_clock::now();
    EXPECT_EQ(rig.ask(Code::EraseAll).frame, ackFrame);
    EXPECT_GE(std::chrono::steady_clock::now() - eraseSent, 150ms);
    EXPECT_EQ(device.memory(0x50000, 8), Bytes(8, 0xFF));

    const Bytes image{1, 2, 3, 4, 5, 6};
    EXPECT_EQ(rig.ask(Code::ProgramChunk, chunkPayload(0x50002, image)).frame, ackFrame);
    // Word 0x50002 is byte 0xA0004: one word before it and after it stay erased.
    EXPECT_EQ(device.memory(0x50001, 10), (Bytes{0xFF, 0xFF, 1, 2, 3, 4, 5, 6, 0xFF, 0xFF}));
    EXPECT_EQ(device.chunksProgrammed(), 1);

    EXPECT_EQ(rig.ask(Code::VerifyChunk, chunkPayload(0x50002, image)).frame, ackFrame);
    EXPECT_EQ(rig.ask(Code::VerifyChunk, chunkPayload(0x50002, {1, 2, 3, 4, 5, 7})).frame, errorFrame);

    EXPECT_TRUE(rig.askExpectingSilence(Code::Finish, {0x03}).empty());
    ASSERT_TRUE(eventually([&] { return device.finished(); }));
    EXPECT_FALSE(device.inUpdateMode());

    EXPECT_EQ(
        device.frameCodes(),
        (std::vector<std::uint16_t>{Code::Handshake, Code::EraseTimeQuery, Code::EraseAll, Code::ProgramChunk,
                                    Code::VerifyChunk, Code::VerifyChunk, Code::Finish}));
    const std::vector<sim::Received> transcript = device.transcript();
    ASSERT_EQ(transcript.size(), 11u);
    const std::vector<std::pair<std::string, std::int32_t>> ascii{
        {"1BR115200\r", 19200}, {"2BR115200\r", 115200}, {"FIRMWAREUPDATE\r", 115200}, {"$KQ-", 115200}};
    for (std::size_t i = 0; i < ascii.size(); ++i) {
        EXPECT_EQ(transcript[i].kind, Kind::ascii);
        EXPECT_EQ(transcript[i].text, ascii[i].first);
        EXPECT_EQ(transcript[i].speed, ascii[i].second);
        EXPECT_EQ(transcript[i].byteTimes.size(), ascii[i].first.size());
    }
    EXPECT_EQ(transcript[7].data, chunkPayload(0x50002, image));
    EXPECT_EQ(transcript[10].data, Bytes{0x03});

    // Back in normal mode: speed commands work again, frames are not answered.
    port.write("1BR19200\r");
    EXPECT_TRUE(eventually([&] { return device.speed() == 19200; }));
    EXPECT_TRUE(rig.askExpectingSilence(Code::Handshake).empty());
}

TEST(SimulatedDeviceTranscript, KeepsOrderAndArrivalTimes) {
    Rig rig;
    ASSERT_TRUE(rig.start());
    const std::string command = "1BR19200\r";
    std::vector<std::chrono::steady_clock::time_point> written;
    for (const char c : command) {
        written.push_back(std::chrono::steady_clock::now());
        rig.port->write(std::string(1, c));
        std::this_thread::sleep_for(5ms);
    }
    const auto preambleWritten = std::chrono::steady_clock::now();
    rig.port->write("FIRMWAREUPDATE\r$KQ-");
    ASSERT_TRUE(eventually([&] { return rig.device->inUpdateMode(); }));
    const auto frameWritten = std::chrono::steady_clock::now();
    EXPECT_EQ(rig.ask(Code::Handshake).frame, ackFrame);
    const auto seen = std::chrono::steady_clock::now();

    const std::vector<sim::Received> t = rig.device->transcript();
    ASSERT_EQ(t.size(), 4u);
    ASSERT_EQ(t[0].text, command);
    ASSERT_EQ(t[0].byteTimes.size(), command.size());
    EXPECT_EQ(t[0].time, t[0].byteTimes.front());
    for (std::size_t i = 0; i < command.size(); ++i) {
        EXPECT_GE(t[0].byteTimes[i], written[i]) << "character " << i << " arrived before it was sent";
        if (i > 0) {
            EXPECT_GE(t[0].byteTimes[i], t[0].byteTimes[i - 1]);
        }
    }
    EXPECT_EQ(t[1].text, "FIRMWAREUPDATE\r");
    EXPECT_EQ(t[2].text, "$KQ-");
    EXPECT_GE(t[1].time, preambleWritten);
    EXPECT_EQ(t[3].kind, Kind::frame);
    EXPECT_EQ(t[3].code, Code::Handshake);
    EXPECT_GE(t[3].time, frameWritten);
    EXPECT_LE(t[3].time, seen);
    for (std::size_t i = 1; i < t.size(); ++i)
        EXPECT_GE(t[i].time, t[i - 1].time) << "entry " << i;
}

// The updater opens the port exclusively, locks it, and clears the exclusive mode when it closes; it
// does so several times in one update, with moments when only the device holds the line.
TEST(SimulatedDevicePort, StaysUsableWhileTheUpdaterOpensAndClosesItExclusively) {
    sim::SimulatedDevice device;
    ASSERT_TRUE(device.start()) << device.startError();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        {
            SlavePort port(device.portPath());
            ASSERT_TRUE(port.isOpen());
            ASSERT_EQ(::ioctl(port.fd(), TIOCEXCL), 0);
            ASSERT_EQ(::flock(port.fd(), LOCK_EX | LOCK_NB), 0) << "the device must not lock the port";
            if (round == 0)
                port.write("FIRMWAREUPDATE\r$KQ-");
            ASSERT_TRUE(eventually([&] { return device.inUpdateMode(); }));
            port.write(commandFrame(Code::Handshake));
            EXPECT_EQ(port.readReply().frame, ackFrame);
            ::ioctl(port.fd(), TIOCNXCL);
        }
        std::this_thread::sleep_for(50ms); // only the device holds the line now
    }
    EXPECT_EQ(device.frameCodes().size(), 3u);
}

} // namespace
} // namespace simtest

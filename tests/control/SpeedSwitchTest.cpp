#include "SimRig.h"
#include "link/RS232.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vtc880;

namespace {

// The device models the line: a byte sent at another speed than the device's arrives garbled, so an
// intact command in its transcript went out at the speed recorded with it. Real time: the device must
// take each command in before the port is reopened at the next speed.
struct SpeedRig {
    explicit SpeedRig(std::int32_t speed)
        : config(lineAt(speed)), device(config), started(device.start()),
          command(device.portPath(), speed, sinks, systemClock()) {
        EXPECT_TRUE(started) << device.startError();
    }
    static sim::Config lineAt(std::int32_t speed) {
        sim::Config config;
        config.initialSpeed = speed;
        config.lineModel = true;
        return config;
    }
    std::vector<std::pair<std::string, std::int32_t>> ascii(std::size_t expected) const {
        std::vector<std::pair<std::string, std::int32_t>> out;
        eventually([&] { return device.transcriptSize() >= expected; });
        for (const sim::Received& r : device.transcript()) {
            out.emplace_back(r.text, r.speed);
        }
        return out;
    }

    sim::Config config;
    sim::SimulatedDevice device;
    bool started;
    RecordingSinks sinks;
    Command command;
};

using Sent = std::pair<std::string, std::int32_t>;

TEST(SpeedSwitch, Rs232FirstPressThenSecondPress) {
    SpeedRig rig(Speed::rs232Initial);

    EXPECT_TRUE(rig.command.changeBaudRate());
    EXPECT_EQ(rig.command.baudRate(), Speed::update);
    EXPECT_TRUE(rig.command.changeBaudRate()) << "no new link choice: both stages at 115200";

    EXPECT_THAT(rig.ascii(4), testing::ElementsAre(Sent{"1BR115200\r", 19200}, Sent{"2BR115200\r", 115200},
                                                   Sent{"1BR115200\r", 115200}, Sent{"2BR115200\r", 115200}));
    EXPECT_EQ(rig.device.speed(), Speed::update);
    EXPECT_EQ(rig.command.baudRate(), Speed::update);
    EXPECT_TRUE(rig.sinks.all().empty());
    RS232 probe(rig.device.portPath(), Speed::update);
    EXPECT_FALSE(probe.error) << "no link is left open";
}

// On USB both stages go out at 921600; the device, switched to 115200 by the first, cannot read the
// second on a modelled line (a USB adapter's device side does not care for the speed).
TEST(SpeedSwitch, UsbFirstPressSendsBothStagesAt921600) {
    SpeedRig rig(Speed::usbInitial);

    EXPECT_TRUE(rig.command.changeBaudRate());

    const std::vector<Sent> sent = rig.ascii(2);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0], (Sent{"1BR115200\r", 921600}));
    EXPECT_EQ(sent[1].first.size(), 10u);
    EXPECT_NE(sent[1].first, "2BR115200\r") << "the second stage did not go out at 115200";
    EXPECT_EQ(rig.command.baudRate(), Speed::update);
    EXPECT_TRUE(rig.sinks.all().empty());
}

} // namespace

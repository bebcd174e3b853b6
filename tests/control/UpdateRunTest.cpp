#include "vtc880/UpdateRun.h"

#include "RecordingSinks.h"
#include "vtc880/ScaledClock.h"
#include "SimRig.h"
#include "TempImage.h"
#include "link/RS232.h"
#include "sim/SimulatedDevice.h"
#include "vtc880/DeviceCodes.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <optional>
#include <thread>

using namespace vtc880;

namespace {

// Sinks that can stop the run the moment it enters a phase, or after its n-th acknowledged chunk.
class StoppingSinks : public RecordingSinks {
  public:
    std::function<void()> stop;
    std::optional<Phase> stopAt;
    int stopAfterChunks = -1;

    void phaseEntered(Phase phase) override {
        if (stopAt == phase) {
            stop();
        }
    }
    void setTitle(const std::string& title) override {
        // The title follows each acknowledged chunk.
        if (title.find('%') != std::string::npos && --stopAfterChunks == 0) {
            stop();
        }
        RecordingSinks::setTitle(title);
    }
};

// A device on an RS-232 link (19200 until the speed switch) holding an older image, and one press
// of "Update" for it.
struct RunRig {
    explicit RunRig(sim::Config config = initialConfig()) : device(config) {
        EXPECT_TRUE(device.start()) << device.startError();
        for (int b = 0; b < older().count; ++b) {
            const FileBlock& block = older().blocks[b];
            device.setMemory(block.address,
                             std::vector<std::uint8_t>(block.data.get(), block.data.get() + block.size));
        }
        sinks.stop = [this] { run.requestStop(); };
    }

    static sim::Config initialConfig() {
        sim::Config config;
        config.initialSpeed = Speed::rs232Initial;
        config.eraseTimeMs = 20;
        return config;
    }
    static const FileCopy& older() {
        // The blocks of the image the runs send, with other contents (the pattern follows the index).
        static const FileCopy image = makeImage({{3, 0x300}, {4, 0x50002}, {250, 0x100}, {51, 0x200}});
        return image;
    }

    RunResult perform(Operation operation, bool verify = false) {
        RunSettings settings;
        settings.operation = operation;
        settings.port = device.portPath(); // known once the device has started
        settings.verifyBeforeFinish = verify;
        settings.imagePath = imageFile.path();
        const RunResult result = run.perform(settings);
        std::this_thread::sleep_for(std::chrono::milliseconds(50)); // Finish gets no reply
        return result;
    }

    bool holds(const FileCopy& image) const { return deviceHolds(device, image); }
    std::string ascii() const {
        std::string text;
        for (const sim::Received& r : device.transcript()) {
            text += r.kind == sim::Received::Kind::ascii ? r.text : "";
        }
        return text;
    }

    sim::SimulatedDevice device;
    StoppingSinks sinks;
    ScaledClock clock{20};
    TempImage imageFile{SimRig::standardImage()};
    Command command{"COM1", Speed::rs232Initial, sinks, clock}; // the port comes with each press
    UpdateRun run{command, clock};
};

struct PhaseStop {
    const char* name;
    std::optional<Phase> at;
    int afterChunks;
    bool verify;
    Outcome outcome;
    DeviceState state;
};

void PrintTo(const PhaseStop& row, std::ostream* os) {
    *os << row.name;
}

class StopInEachPhase : public testing::TestWithParam<PhaseStop> {};

// A stop request in each phase of a whole run: how it ends, what it says the device holds, and what
// the device does hold.
TEST_P(StopInEachPhase, SaysWhatTheDeviceHolds) {
    const PhaseStop& row = GetParam();
    RunRig rig;
    rig.sinks.stopAt = row.at;
    rig.sinks.stopAfterChunks = row.afterChunks;

    const RunResult result = rig.perform(Operation::update, row.verify);

    EXPECT_EQ(result.outcome, row.outcome);
    const DeviceHolding& holds = result.report.device;
    EXPECT_EQ(holds.state, row.state) << deviceStateName(holds.state);
    const std::string ascii = rig.ascii();
    const bool preamble = ascii.find("FIRMWAREUPDATE") != std::string::npos;
    EXPECT_EQ(preamble, row.state != DeviceState::untouched) << ascii;
    const std::vector<std::uint16_t> codes = rig.device.frameCodes();
    const bool erased = std::find(codes.begin(), codes.end(), Code::EraseAll) != codes.end();
    switch (holds.state) {
    case DeviceState::untouched:
    case DeviceState::inUpdateMode:
        EXPECT_FALSE(erased);
        EXPECT_TRUE(rig.holds(RunRig::older()));
        break;
    case DeviceState::erased:
        EXPECT_EQ(rig.device.chunksProgrammed(), 0);
        EXPECT_EQ(rig.device.memory(0x100, 250), std::vector<std::uint8_t>(250, 0xFF));
        break;
    case DeviceState::partlyProgrammed:
        EXPECT_EQ(holds.bytesProgrammed, 4u + 100u + 100u);
        EXPECT_EQ(rig.device.memory(0x100, 200),
                  std::vector<std::uint8_t>(SimRig::standardImage().blocks[1].data.get(),
                                            SimRig::standardImage().blocks[1].data.get() + 200));
        EXPECT_EQ(rig.device.memory(0x200, 51), std::vector<std::uint8_t>(51, 0xFF));
        break;
    case DeviceState::programmedNotFinished:
    case DeviceState::updated:
        EXPECT_TRUE(rig.holds(SimRig::standardImage()));
        break;
    }
    EXPECT_EQ(rig.device.finished(), holds.state == DeviceState::updated);
    EXPECT_FALSE(rig.command.busy());
}

INSTANTIATE_TEST_SUITE_P(
    Phases, StopInEachPhase,
    testing::Values(
        PhaseStop{"speedSwitch", Phase::speedSwitch, -1, false, Outcome::interrupted, DeviceState::untouched},
        PhaseStop{"updateMode", Phase::updateMode, -1, false, Outcome::interrupted, DeviceState::untouched},
        PhaseStop{"erase", Phase::erase, -1, false, Outcome::interrupted, DeviceState::inUpdateMode},
        PhaseStop{"programming", Phase::programming, -1, false, Outcome::interrupted, DeviceState::erased},
        PhaseStop{"midProgramming", std::nullopt, 3, false, Outcome::interrupted,
                  DeviceState::partlyProgrammed},
        PhaseStop{"verify", Phase::verify, -1, true, Outcome::interrupted,
                  DeviceState::programmedNotFinished},
        // Finish is under way: the run completes, and says so.
        PhaseStop{"finish", Phase::finish, -1, true, Outcome::succeeded, DeviceState::updated},
        PhaseStop{"noStop", std::nullopt, -1, true, Outcome::succeeded, DeviceState::updated}),
    [](const testing::TestParamInfo<PhaseStop>& info) { return std::string(info.param.name); });

// The speed switch cannot open the port (another program holds it for a moment): the run ends there
// with the port's cause, and nothing at all reaches the device; it does not go on at 115200 once the
// port is free.
TEST(UpdateRun, BusyPortAtTheSpeedSwitchEndsTheRun) {
    RunRig rig;
    RunResult result;
    {
        const RS232 holder(rig.device.portPath(), Speed::rs232Initial);
        ASSERT_FALSE(holder.error);
        result = rig.perform(Operation::update);
    }
    EXPECT_EQ(result.outcome, Outcome::portError);
    EXPECT_EQ(result.openError, PortError::busy);
    EXPECT_EQ(result.report.device.state, DeviceState::untouched);
    EXPECT_TRUE(rig.device.transcript().empty());
    ASSERT_EQ(rig.sinks.messages().size(), 1u);
    EXPECT_EQ(rig.sinks.messages()[0].text, "Error while connecting to " + rig.device.portPath() + " !!!");
    EXPECT_EQ(rig.sinks.messages()[0].caption, "Error: connect");
    EXPECT_NE(rig.sinks.messages()[0].detail.find("busy"), std::string::npos);

    // Nothing reached the device, which still runs at 19200: the next press starts from there again.
    EXPECT_EQ(rig.command.baudRate(), Speed::rs232Initial);
    EXPECT_EQ(rig.perform(Operation::update).outcome, Outcome::succeeded);
    EXPECT_TRUE(rig.holds(SimRig::standardImage()));
}

// An image that cannot be sent ends the run before the port is touched, with the file's full path.
TEST(UpdateRun, RefusedImageTouchesNothing) {
    RunRig rig;
    RunSettings settings;
    settings.port = rig.device.portPath();
    settings.imagePath = "no-such-firmware.hex";
    const RunResult result = rig.run.perform(settings);
    EXPECT_EQ(result.outcome, Outcome::imageError);
    EXPECT_EQ(result.report.device.state, DeviceState::untouched);
    EXPECT_FALSE(result.imageProblem.empty());
    EXPECT_TRUE(rig.device.transcript().empty());
    ASSERT_EQ(rig.sinks.messages().size(), 1u);
    EXPECT_EQ(rig.sinks.messages()[0].text, "Coult not open firmware file !");
    EXPECT_EQ(rig.sinks.messages()[0].caption, "File error");
    EXPECT_NE(rig.sinks.messages()[0].detail.find("/no-such-firmware.hex: "), std::string::npos);
    EXPECT_EQ(rig.command.baudRate(), Speed::rs232Initial) << "not even the speed switch ran";
}

// A verify and an erase run on the link of their connect: one preamble, and the device, left in its
// update mode, answers the operation.
TEST(UpdateRun, VerifyAndEraseOnTheLinkOfTheirConnect) {
    {
        RunRig rig;
        const RunResult result = rig.perform(Operation::verify);
        EXPECT_EQ(result.outcome, Outcome::verifyFailed) << "the device holds the older image";
        EXPECT_EQ(result.report.device.state, DeviceState::inUpdateMode);
        ASSERT_TRUE(result.report.mismatch.has_value());
        EXPECT_EQ(result.report.mismatch->block, 0);
    }
    {
        RunRig rig;
        const RunResult result = rig.perform(Operation::erase);
        EXPECT_EQ(result.outcome, Outcome::succeeded);
        EXPECT_EQ(result.report.device.state, DeviceState::erased);
        EXPECT_EQ(rig.device.memory(0x100, 250), std::vector<std::uint8_t>(250, 0xFF));
        const std::string ascii = rig.ascii();
        EXPECT_EQ(std::count(ascii.begin(), ascii.end(), '$'), 1) << "one preamble: " << ascii;
    }
}

// Each phase's time is in the result, the speed switch's with its pause.
TEST(UpdateRun, ResultCarriesTheTimeOfEachPhase) {
    RunRig rig;
    const RunResult result = rig.perform(Operation::update, true);
    ASSERT_EQ(result.outcome, Outcome::succeeded);
    for (const Phase phase : {Phase::speedSwitch, Phase::updateMode, Phase::erase, Phase::programming,
                              Phase::verify, Phase::finish}) {
        EXPECT_GT(result.report.times[std::size_t(phase)].count(), 0) << phaseName(phase);
    }
    EXPECT_GE(result.report.times[std::size_t(Phase::speedSwitch)], std::chrono::seconds(1))
        << "the one-second pause counts as the speed switch's";
    EXPECT_EQ(result.report.bytesVerified, SimRig::standardImage().totalSize());
}

} // namespace

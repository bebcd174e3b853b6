#include "SimRig.h"
#include "link/RS232.h"

#include <algorithm>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vtc880;

namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;

struct Entry {
    std::string text;
    std::int32_t speed;
    bool operator==(const Entry&) const = default;
};
void PrintTo(const Entry& e, std::ostream* os) {
    *os << testing::PrintToString(e.text) << "@" << e.speed;
}

std::vector<Entry> entries(const std::vector<sim::Received>& received) {
    std::vector<Entry> out;
    for (const sim::Received& r : received) {
        out.push_back({r.text, r.speed});
    }
    return out;
}

struct ChunkSeen {
    std::uint32_t address;
    std::uint32_t count;
    bool operator==(const ChunkSeen&) const = default;
};
void PrintTo(const ChunkSeen& c, std::ostream* os) {
    *os << std::hex << "0x" << c.address << std::dec << "/" << c.count;
}

std::vector<ChunkSeen> chunks(const std::vector<sim::Received>& frames) {
    std::vector<ChunkSeen> out;
    for (const sim::Received& f : frames) {
        SentFrame sent{f.code, f.data};
        EXPECT_EQ(f.data.size(), 8 + sent.chunkCount());
        out.push_back({sent.chunkAddress(), sent.chunkCount()});
    }
    return out;
}

const std::string idleTitle = " VTC880 - Firmware Update";
const std::string updatedBox =
    "Firmware updated !\nClick OK to close VTC880 Firmware Updater|VTC880 updated|information";

// What the window does on "Update", on real time and on a modelled line: each byte takes its time at
// the line's speed, and a command sent at a speed the device is not at would arrive garbled.
TEST(Update, WholeUpdateAsTheWindowRunsIt) {
    sim::Config config;
    config.initialSpeed = Speed::rs232Initial;
    config.eraseTimeMs = 100;
    config.lineModel = true;
    SimRig rig(config, &systemClock());
    const FileCopy& image = SimRig::standardImage();

    rig.command.changeBaudRate();
    rig.command.changeComPort(rig.device.portPath());
    rig.command.changeBaudRate2(Speed::update);
    rig.command.connectAndDownload();
    rig.finish();
    ASSERT_TRUE(eventually([&] { return rig.device.finished(); }));

    // The speed recorded is the device's: it had switched before each command that followed.
    const std::vector<sim::Received> ascii = rig.ascii();
    EXPECT_THAT(entries(ascii), ElementsAre(Entry{"1BR115200\r", 19200}, Entry{"2BR115200\r", 115200},
                                            Entry{"FIRMWAREUPDATE\r", 115200}, Entry{"$KQ-", 115200}));
    EXPECT_THAT(rig.device.frameCodes(),
                ElementsAre(Code::Handshake, Code::Handshake, Code::EraseTimeQuery, Code::EraseAll,
                            Code::Handshake, Code::ProgramChunk, Code::ProgramChunk, Code::ProgramChunk,
                            Code::ProgramChunk, Code::ProgramChunk, Code::Finish));
    EXPECT_THAT(chunks(rig.frames(Code::ProgramChunk)),
                ElementsAre(ChunkSeen{0x50002, 4}, ChunkSeen{0x100, 100}, ChunkSeen{0x132, 100},
                            ChunkSeen{0x164, 50}, ChunkSeen{0x200, 51}));
    EXPECT_THAT(rig.frames(Code::Finish).at(0).data, ElementsAre(0x03));
    EXPECT_TRUE(rig.holds(image));
    EXPECT_TRUE(rig.device.finished());

    // Pacing reaches the line: generous lower bounds only, half the pauses, since the receiver's own
    // timestamps can close up a gap when it is scheduled late on a loaded machine.
    const auto gap = [](const sim::Received& r, std::size_t k) {
        return r.byteTimes.at(k) - r.byteTimes.at(k - 1);
    };
    for (std::size_t k = 1; k < ascii.at(0).byteTimes.size(); ++k) {
        EXPECT_GE(gap(ascii.at(0), k), std::chrono::milliseconds(15));
    }
    for (std::size_t k = 1; k < ascii.at(2).byteTimes.size(); ++k) {
        EXPECT_GE(gap(ascii.at(2), k), std::chrono::microseconds(2500));
    }
    EXPECT_GE(rig.frames(Code::Handshake).at(0).time - ascii.at(3).byteTimes.back(),
              std::chrono::milliseconds(1500));

    EXPECT_THAT(rig.sinks.of("status"),
                ElementsAre("Connecting to VTC880 ...", "VTC880 Connected", "", "Connection to VTC880 ...",
                            "Calculating erase time ...", "Erasing (0.1 seconds) ...", "Firmware erased",
                            "Copying 0ko / 0ko  (100%)", "Copying 0ko / 0ko  (1%)", "Firmware updated",
                            "Copying 0ko / 0ko  (100%)", "Copying 0ko / 0ko  (34%)",
                            "Copying 0ko / 0ko  (66%)", "Copying 0ko / 0ko  (83%)", "Firmware updated",
                            "Copying 0ko / 0ko  (100%)", "Copying 0ko / 0ko  (100%)", "Firmware updated"));
    EXPECT_THAT(rig.sinks.of("title"),
                ElementsAre(" [1%] VTC880 - Firmware Update", " [34%] VTC880 - Firmware Update",
                            " [66%] VTC880 - Firmware Update", " [83%] VTC880 - Firmware Update",
                            " [100%] VTC880 - Firmware Update", idleTitle));
    EXPECT_TRUE(rig.sinks.has("max:305"));
    EXPECT_EQ(rig.sinks.of("value").back(), "305");
    EXPECT_EQ(rig.sinks.of("show").size(), 3u);
    EXPECT_THAT(rig.sinks.of("box"), ElementsAre(updatedBox));
    EXPECT_EQ(rig.sinks.all().back(), "exit") << "the application ends once the box is dismissed";

    EXPECT_TRUE(rig.command.connected);
    EXPECT_TRUE(rig.command.connectionDone);
    EXPECT_FALSE(rig.command.threadActive);
    EXPECT_FALSE(rig.command.busy());
    EXPECT_TRUE(rig.portFree());
    EXPECT_EQ(rig.command.outcome, Outcome::succeeded);
}

struct FailureRow {
    const char* name;
    std::function<void(sim::Config&)> configure;
    bool missingImage;
    std::vector<std::string> lastStatuses;
    std::vector<std::string> boxes;
    std::vector<std::uint16_t> codes; // empty: only Handshake frames, at most ten
    bool portSurvives;                // false where the device hangs the line up
    Outcome outcome;
};
void PrintTo(const FailureRow& row, std::ostream* os) {
    *os << row.name;
}

class UpdateFailure : public testing::TestWithParam<FailureRow> {};

TEST_P(UpdateFailure, ReportsStopsBeforeFinishAndFreesThePort) {
    const FailureRow& row = GetParam();
    sim::Config config = deviceAtUpdateSpeed();
    row.configure(config);
    SimRig rig(config);
    if (row.missingImage) {
        rig.command.fileName = rig.imageFile.missingPath();
    }

    rig.command.connectAndDownload();
    rig.finish();

    const std::vector<std::string> statuses = rig.sinks.of("status");
    ASSERT_GE(statuses.size(), row.lastStatuses.size());
    EXPECT_THAT(
        std::vector<std::string>(statuses.end() - std::ptrdiff_t(row.lastStatuses.size()), statuses.end()),
        ElementsAreArray(row.lastStatuses));
    EXPECT_THAT(rig.sinks.of("box"), ElementsAreArray(row.boxes));
    const std::vector<std::uint16_t> codes = rig.device.frameCodes();
    if (row.codes.empty()) {
        EXPECT_GE(codes.size(), 1u);
        EXPECT_LE(codes.size(), 10u);
        EXPECT_TRUE(
            std::all_of(codes.begin(), codes.end(), [](std::uint16_t c) { return c == Code::Handshake; }));
    } else {
        EXPECT_THAT(codes, ElementsAreArray(row.codes));
    }
    EXPECT_FALSE(rig.device.finished());
    EXPECT_FALSE(rig.sinks.has("exit"));
    EXPECT_TRUE(rig.command.connectionDone);
    EXPECT_FALSE(rig.command.threadActive);
    if (row.portSurvives) {
        EXPECT_TRUE(rig.portFree());
    }
    EXPECT_EQ(rig.command.outcome, row.outcome);
}

const std::vector<std::string> notConnected{"Connecting to VTC880 ...", "VTC880 Disconnected !"};
const std::vector<std::string> connectionError{"VTC880 Connection error !|Error|error"};
const std::vector<std::string> updateFailed{"Firmware update failed !|Error|error"};
constexpr std::uint16_t H = Code::Handshake, T = Code::EraseTimeQuery, A = Code::EraseAll,
                        P = Code::ProgramChunk;

INSTANTIATE_TEST_SUITE_P(
    Rows, UpdateFailure,
    testing::Values(FailureRow{"silentDevice",
                               [](sim::Config& c) { c.silent = true; },
                               false,
                               notConnected,
                               connectionError,
                               {H},
                               true,
                               Outcome::noAnswer},
                    FailureRow{"otherCommand",
                               [](sim::Config& c) { c.wrongCommandOn = Code::Handshake; },
                               false,
                               notConnected,
                               connectionError,
                               {},
                               true,
                               Outcome::noAnswer},
                    FailureRow{"badChecksum",
                               [](sim::Config& c) { c.badChecksumOn = Code::Handshake; },
                               false,
                               notConnected,
                               connectionError,
                               {H},
                               true,
                               Outcome::noAnswer},
                    FailureRow{"noAnswerToEraseTimeQuery",
                               [](sim::Config& c) { c.silentOn = Code::EraseTimeQuery; },
                               false,
                               {"Calculating erase time ...", "Communication time out !"},
                               updateFailed,
                               {H, H, T},
                               true,
                               Outcome::noAnswer},
                    FailureRow{"shortEraseTimeAck",
                               [](sim::Config& c) { c.shortEraseTimeAck = true; },
                               false,
                               {"Calculating erase time ...", "Communication time out !"},
                               updateFailed,
                               {H, H, T},
                               true,
                               Outcome::noAnswer},
                    FailureRow{"errorReplyToErase",
                               [](sim::Config& c) { c.errorOnErase = true; },
                               false,
                               {"Erasing (0.0 seconds) ...", "Erasing failed !"},
                               updateFailed,
                               {H, H, T, A},
                               true,
                               Outcome::eraseFailed},
                    FailureRow{"errorReplyToFirstChunkOfSecondBlock",
                               [](sim::Config& c) { c.errorOnChunk = 1; },
                               false,
                               {"Firmware updated", "Copying 0ko / 0ko  (100%)", "Firmware update failed !"},
                               updateFailed,
                               {H, H, T, A, H, P, P},
                               true,
                               Outcome::programmingFailed},
                    FailureRow{"hangUpMidDownload",
                               [](sim::Config& c) { c.hangUpAfterChunks = 2; },
                               false,
                               {"Copying 0ko / 0ko  (34%)", "Firmware update failed !"},
                               updateFailed,
                               {H, H, T, A, H, P, P, P},
                               false,
                               Outcome::portLost},
                    FailureRow{
                        "unreadableImageFile",
                        [](sim::Config&) {},
                        true,
                        {"Connecting to VTC880 ...", "VTC880 Connected", "Coult not open firmware file !"},
                        {"Coult not open firmware file !|File error|error"},
                        {H},
                        true,
                        Outcome::imageError}),
    [](const testing::TestParamInfo<FailureRow>& info) { return std::string(info.param.name); });

// A verify pass before Finish: the whole image is compared on the same link, and Finish goes out only
// when the device holds it. A flash cell that does not hold is acknowledged when programmed; only the
// verify sees it.
TEST(Update, VerifyBeforeFinish) {
    for (const bool corrupt : {false, true}) {
        sim::Config config = deviceAtUpdateSpeed();
        config.corruptChunk = corrupt ? 2 : -1;
        SimRig rig(config);
        rig.command.verifyBeforeFinish = true;
        rig.command.connectAndDownload();
        rig.finish();

        const std::vector<std::uint16_t> codes = rig.device.frameCodes();
        const auto verifies = std::count(codes.begin(), codes.end(), Code::VerifyChunk);
        EXPECT_EQ(verifies, corrupt ? 3 : 5) << "corrupt: " << corrupt;
        EXPECT_EQ(rig.device.finished(), !corrupt);
        if (corrupt) {
            EXPECT_EQ(rig.command.outcome, Outcome::verifyFailed);
            EXPECT_EQ(rig.sinks.of("status").back(), "Verification failed");
            EXPECT_FALSE(rig.sinks.has("exit"));
        } else {
            EXPECT_EQ(rig.command.outcome, Outcome::succeeded);
            EXPECT_EQ(codes.back(), Code::Finish);
            EXPECT_EQ(codes[codes.size() - 7], Code::Handshake) << "verify starts with its own handshake";
            EXPECT_TRUE(rig.sinks.has("exit"));
        }
    }
}

// `connected` stays set from an earlier success; a run whose own connect failed must not go on.
TEST(Update, FailedConnectAfterAnEarlierSuccessSendsNoErase) {
    SimRig rig;
    rig.command.connect();
    rig.finish();
    ASSERT_TRUE(rig.command.connected);

    sim::Config silentConfig = deviceAtUpdateSpeed();
    silentConfig.silent = true;
    sim::SimulatedDevice silent(silentConfig);
    ASSERT_TRUE(silent.start());
    rig.command.changeComPort(silent.portPath());
    rig.command.connectAndDownload();
    rig.finish();

    EXPECT_THAT(silent.frameCodes(), ElementsAre(Code::Handshake));
    EXPECT_THAT(rig.sinks.of("box"), ElementsAre("VTC880 Connection error !|Error|error"));
    EXPECT_EQ(rig.sinks.of("status").back(), "VTC880 Disconnected !");
    EXPECT_TRUE(rig.command.connected);
}

// The window may close while a worker waits on a long erase: destroying the Command stops and joins it.
TEST(Update, DestroyingTheCommandStopsARunningWorker) {
    sim::Config config = deviceAtUpdateSpeed();
    config.eraseTimeMs = 600000;
    sim::SimulatedDevice device(config);
    ASSERT_TRUE(device.start());
    RecordingSinks sinks;
    ScaledClock clock;
    TempImage file(SimRig::standardImage());
    {
        Command command(device.portPath(), Speed::update, sinks, clock);
        command.fileName = file.path();
        command.connectAndDownload();
        // The worker is in the erase wait once the device has the EraseAll.
        ASSERT_TRUE(eventually([&] { return device.frameCodes().size() == 4; }));
    }
    EXPECT_TRUE(sinks.of("box").empty()) << "no box once cancelled: nobody is left to dismiss it";
    EXPECT_FALSE(sinks.has("exit"));
    EXPECT_THAT(device.frameCodes(),
                ElementsAre(Code::Handshake, Code::Handshake, Code::EraseTimeQuery, Code::EraseAll));
    RS232 probe(device.portPath(), Speed::update);
    EXPECT_FALSE(probe.error);
}

} // namespace

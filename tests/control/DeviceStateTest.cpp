#include "Rig.h"
#include "control/Connect.h"
#include "control/Download.h"
#include "control/Failure.h"
#include "vtc880/DeviceCodes.h"
#include "vtc880/DeviceStateText.h"

#include <functional>
#include <gtest/gtest.h>
#include <optional>

using namespace vtc880;

namespace {

// The image of every row: the version block, a 250-byte block (three chunks) and an odd one.
FileCopy rowImage() {
    return makeImage({{4, 0x50002}, {250, 0x100}, {51, 0x200}});
}
constexpr std::uint64_t imageBytes = 4 + 250 + 51;

using Script = std::function<std::optional<std::vector<Poll>>(Rig&, const SentFrame&, int nth)>;

std::optional<std::vector<Poll>> on(const SentFrame& f, std::uint16_t code, int nth, int wanted,
                                    std::vector<Poll> polls) {
    if (f.code == code && nth == wanted) {
        return polls;
    }
    return std::nullopt;
}

// One point where a run can stop, and what the run must say of the device afterwards.
struct StopPoint {
    const char* name;
    Script script;
    bool verify; // an update that compares the whole image before Finish
    Outcome outcome;
    DeviceState state;
    std::uint64_t bytesProgrammed;
    bool eraseUnconfirmed = false;
};

void PrintTo(const StopPoint& row, std::ostream* os) {
    *os << row.name;
}

// A stop request as the frame goes out: the run sees it at its next wait.
Script stopOn(std::uint16_t code, int wanted) {
    return [code, wanted](Rig& rig, const SentFrame& f, int nth) -> std::optional<std::vector<Poll>> {
        if (f.code == code && nth == wanted) {
            rig.cancel = true;
            return std::vector<Poll>{};
        }
        return std::nullopt;
    };
}

const StopPoint stopPoints[] = {
    {"everythingAnswered", nullptr, false, Outcome::succeeded, DeviceState::updated, imageBytes},
    {"everythingAnsweredAndVerified", nullptr, true, Outcome::succeeded, DeviceState::updated, imageBytes},
    {"connectHandshake", [](Rig&, const SentFrame& f, int nth) { return on(f, Code::Handshake, nth, 0, {}); },
     false, Outcome::noAnswer, DeviceState::inUpdateMode, 0},
    {"eraseHandshake", [](Rig&, const SentFrame& f, int nth) { return on(f, Code::Handshake, nth, 1, {}); },
     false, Outcome::noAnswer, DeviceState::inUpdateMode, 0},
    {"eraseTimeQuery",
     [](Rig&, const SentFrame& f, int nth) { return on(f, Code::EraseTimeQuery, nth, 0, {}); }, false,
     Outcome::noAnswer, DeviceState::inUpdateMode, 0},
    {"eraseRefused",
     [](Rig&, const SentFrame& f, int nth) {
         return on(f, Code::EraseAll, nth, 0, {reply(Reply::ErrorReply)});
     },
     false, Outcome::eraseFailed, DeviceState::inUpdateMode, 0, true},
    {"eraseNeverAnswered",
     [](Rig&, const SentFrame& f, int nth) { return on(f, Code::EraseAll, nth, 0, {}); }, false,
     Outcome::eraseFailed, DeviceState::inUpdateMode, 0, true},
    {"handshakeAfterTheErase",
     [](Rig&, const SentFrame& f, int nth) { return on(f, Code::Handshake, nth, 2, {}); }, false,
     Outcome::noAnswer, DeviceState::erased, 0},
    {"firstChunkRefused",
     [](Rig&, const SentFrame& f, int nth) {
         return on(f, Code::ProgramChunk, nth, 0, {reply(Reply::ErrorReply)});
     },
     false, Outcome::programmingFailed, DeviceState::erased, 0},
    {"thirdChunkUnanswered",
     [](Rig&, const SentFrame& f, int nth) { return on(f, Code::ProgramChunk, nth, 2, {}); }, false,
     Outcome::programmingFailed, DeviceState::partlyProgrammed, 104},
    {"portLostAtTheLastChunk",
     [](Rig&, const SentFrame& f, int nth) { return on(f, Code::ProgramChunk, nth, 4, {deadLine()}); }, false,
     Outcome::portLost, DeviceState::partlyProgrammed, 254},
    {"verifyHandshake", [](Rig&, const SentFrame& f, int nth) { return on(f, Code::Handshake, nth, 3, {}); },
     true, Outcome::noAnswer, DeviceState::programmedNotFinished, imageBytes},
    {"verifyChunkDiffers",
     [](Rig&, const SentFrame& f, int nth) {
         return on(f, Code::VerifyChunk, nth, 3, {reply(Reply::ErrorReply)});
     },
     true, Outcome::verifyFailed, DeviceState::programmedNotFinished, imageBytes},
    {"stopAtTheConnect", stopOn(Code::Handshake, 0), false, Outcome::interrupted, DeviceState::inUpdateMode,
     0},
    {"stopDuringTheErase", stopOn(Code::EraseAll, 0), false, Outcome::interrupted, DeviceState::inUpdateMode,
     0, true},
    {"stopAtTheFirstChunk", stopOn(Code::ProgramChunk, 0), false, Outcome::interrupted, DeviceState::erased,
     0},
    {"stopMidProgramming", stopOn(Code::ProgramChunk, 3), false, Outcome::interrupted,
     DeviceState::partlyProgrammed, 204},
    {"stopDuringTheVerify", stopOn(Code::VerifyChunk, 1), true, Outcome::interrupted,
     DeviceState::programmedNotFinished, imageBytes},
};

class DeviceStateAt : public testing::TestWithParam<StopPoint> {};

// The connect and the update as one run's worker does them, stopped at each point: the outcome and
// what the run says the device holds, against what the scripted device stored.
TEST_P(DeviceStateAt, EachStopPoint) {
    const StopPoint& row = GetParam();
    Rig rig;
    if (row.script) {
        rig.device.script = [&rig, script = row.script](const SentFrame& f, int nth) {
            return script(rig, f, nth);
        };
    }
    const FileCopy image = rowImage();
    rig.session.progress.begin(image.totalSize());
    std::atomic<bool> connected{false};

    Outcome outcome = Outcome::noAnswer;
    if (connectDevice(rig.session, connected)) {
        outcome = downloadImage(rig.session, image, row.verify);
    }
    outcome = failureOf(rig.session, outcome);

    EXPECT_EQ(outcome, row.outcome);
    const DeviceHolding device = rig.session.progress.report().device;
    EXPECT_EQ(device.state, row.state) << deviceStateName(device.state);
    EXPECT_EQ(device.bytesProgrammed, row.bytesProgrammed);
    EXPECT_EQ(device.eraseUnconfirmed, row.eraseUnconfirmed);
    EXPECT_EQ(device.imageBytes, imageBytes);
    EXPECT_EQ(rig.link.count(Code::Finish), row.state == DeviceState::updated ? 1 : 0);
    // The scripted device stores what it acknowledges, and the chunk it leaves unanswered.
    EXPECT_GE(rig.device.memory.size(), device.bytesProgrammed);
    EXPECT_LE(rig.device.memory.size(), device.bytesProgrammed + Chunk::maxBytes);
    if (device.state == DeviceState::partlyProgrammed) {
        EXPECT_EQ(device.lastWordAddress, device.bytesProgrammed == 104   ? 0x100u + 99 / 2
                                          : device.bytesProgrammed == 204 ? 0x132u + 99 / 2
                                                                          : 0x164u + 49 / 2);
    }
    // A failure box once the firmware was touched says so; before, it says nothing of the device.
    for (const Message& box : rig.sinks.messages()) {
        EXPECT_EQ(box.detail.empty(), firmwareAtRiskText(device).empty()) << box.text;
    }
}

INSTANTIATE_TEST_SUITE_P(Points, DeviceStateAt, testing::ValuesIn(stopPoints),
                         [](const testing::TestParamInfo<StopPoint>& info) {
                             return std::string(info.param.name);
                         });

// The verify names the chunk the device found different.
TEST(DeviceState, VerifyNamesTheChunkThatDiffers) {
    Rig rig;
    rig.device.script = [](const SentFrame& f, int nth) {
        return on(f, Code::VerifyChunk, nth, 2, {reply(Reply::ErrorReply)});
    };
    const FileCopy image = rowImage();
    EXPECT_EQ(downloadImage(rig.session, image, true), Outcome::verifyFailed);
    const std::optional<VerifyMismatch> where = rig.session.progress.report().mismatch;
    ASSERT_TRUE(where.has_value());
    EXPECT_EQ(where->block, 1);
    EXPECT_EQ(where->wordAddress, 0x132u);
    EXPECT_EQ(where->blockOffset, 100u);
    EXPECT_EQ(where->length, 100u);
    EXPECT_TRUE(where->answered);
    EXPECT_EQ(rig.session.progress.report().bytesVerified, 4u + 100u);
}

// A lost port ends the chunk wait at once: one poll, no three seconds.
TEST(DeviceState, LostPortEndsTheChunkWaitAtOnce) {
    Rig rig;
    rig.device.script = [](const SentFrame& f, int nth) {
        return on(f, Code::ProgramChunk, nth, 1, {deadLine()});
    };
    const FileCopy image = rowImage();
    EXPECT_EQ(downloadImage(rig.session, image), Outcome::portLost);
    EXPECT_EQ(rig.link.pollsSinceSend, 1);
    EXPECT_EQ(rig.link.count(Code::ProgramChunk), 2);
    EXPECT_TRUE(rig.sinks.has("box:Firmware update failed !|Error|error"));
}

} // namespace

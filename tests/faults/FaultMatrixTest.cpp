#include "../control/TempImage.h"
#include "JobRig.h"
#include "sim/TranscriptText.h"
#include "vtc880/DeviceCodes.h"
#include "vtc880/ResultText.h"

#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <thread>

using namespace vtc880;

namespace {

// The operations as a user runs them: update, update with a verify before Finish, verify, erase.
enum class Op { update, updateVerified, verify, erase };
constexpr Op allOps[] = {Op::update, Op::updateVerified, Op::verify, Op::erase};

const char* nameOf(Op op) {
    switch (op) {
    case Op::update:
        return "update";
    case Op::updateVerified:
        return "updateVerified";
    case Op::verify:
        return "verify";
    case Op::erase:
        return "erase";
    }
    return "?";
}

bool programs(Op op) {
    return op == Op::update || op == Op::updateVerified;
}

struct Expect {
    Outcome outcome;
    const char* lastStatus;
    DeviceState state; // what the device holds afterwards, as the run reports it
};

struct FaultRow {
    const char* name;
    std::function<void(sim::Config&)> fault;
    Expect update, updateVerified, verify, erase;
    // The device hangs the line up while it is programmed: its port is gone afterwards.
    bool hangsUpWhenProgrammed = false;
    // The device acknowledges a chunk it did not store: only a verify can tell.
    bool acknowledgesWhatItLost = false;

    const Expect& expected(Op op) const {
        return op == Op::update           ? update
               : op == Op::updateVerified ? updateVerified
               : op == Op::verify         ? verify
                                          : erase;
    }
};

// The exit status each outcome stands for, as the tool documents it.
int documentedExit(Outcome outcome) {
    switch (outcome) {
    case Outcome::succeeded:
        return 0;
    case Outcome::noAnswer:
        return 5;
    case Outcome::eraseFailed:
        return 6;
    case Outcome::programmingFailed:
        return 7;
    case Outcome::verifyFailed:
        return 8;
    case Outcome::portLost:
        return 4;
    default:
        return -1;
    }
}

const Expect updated{Outcome::succeeded, "Firmware updated", DeviceState::updated};
const Expect passed{Outcome::succeeded, "Verification passed", DeviceState::inUpdateMode};
const Expect updatedVerified{Outcome::succeeded, "Verification passed", DeviceState::updated};
const Expect erased{Outcome::succeeded, "Firmware erased", DeviceState::erased};
const Expect notConnected{Outcome::noAnswer, "VTC880 Disconnected !", DeviceState::inUpdateMode};
const Expect noEraseTime{Outcome::noAnswer, "Communication time out !", DeviceState::inUpdateMode};
const Expect eraseFailed{Outcome::eraseFailed, "Erasing failed !", DeviceState::inUpdateMode};
const Expect failedOnErased{Outcome::programmingFailed, "Firmware update failed !", DeviceState::erased};
const Expect failedPartway{Outcome::programmingFailed, "Firmware update failed !",
                           DeviceState::partlyProgrammed};
const Expect verifyFailed{Outcome::verifyFailed, "Verification failed", DeviceState::inUpdateMode};
const Expect notFinished{Outcome::verifyFailed, "Verification failed", DeviceState::programmedNotFinished};
const Expect lostOnErased{Outcome::portLost, "Firmware update failed !", DeviceState::erased};
const Expect lostPartway{Outcome::portLost, "Firmware update failed !", DeviceState::partlyProgrammed};

using C = sim::Config;

// Each of the simulated device's faults against each operation.
const FaultRow rows[] = {
    {"noFault", [](C&) {}, updated, updatedVerified, passed, erased},
    {"silent", [](C& c) { c.silent = true; }, notConnected, notConnected, notConnected, notConnected},
    {"otherCommandToHandshake", [](C& c) { c.wrongCommandOn = Code::Handshake; }, notConnected, notConnected,
     notConnected, notConnected},
    {"badChecksumToHandshake", [](C& c) { c.badChecksumOn = Code::Handshake; }, notConnected, notConnected,
     notConnected, notConnected},
    {"noiseBetweenFrames", [](C& c) { c.noiseBetweenFrames = true; }, updated, updatedVerified, passed,
     erased},
    // Longer than a poll: every reply spans several polls.
    {"replySplitWithPause", [](C& c) { c.splitReplyPauseMs = 4; }, updated, updatedVerified, passed, erased},
    {"replyDelayed", [](C& c) { c.replyDelayMs = 3; }, updated, updatedVerified, passed, erased},
    {"noAnswerToEraseTimeQuery", [](C& c) { c.silentOn = Code::EraseTimeQuery; }, noEraseTime, noEraseTime,
     passed, noEraseTime},
    {"eraseTimeTooShort", [](C& c) { c.shortEraseTimeAck = true; }, noEraseTime, noEraseTime, passed,
     noEraseTime},
    {"errorReplyToErase", [](C& c) { c.errorOnErase = true; }, eraseFailed, eraseFailed, passed, eraseFailed},
    // Within the five seconds the updater allows beyond the announced time.
    {"eraseLongerThanAnnounced",
     [](C& c) {
         c.eraseTimeMs = 20;
         c.eraseActualMs = 400;
     },
     updated, updatedVerified, passed, erased},
    {"eraseFarLongerThanAnnounced",
     [](C& c) {
         c.eraseTimeMs = 0;
         c.eraseActualMs = 8000;
     },
     eraseFailed, eraseFailed, passed, eraseFailed},
    {"errorReplyToChunk", [](C& c) { c.errorOnChunk = 2; }, failedPartway, failedPartway, passed, erased},
    {"noAnswerToChunk", [](C& c) { c.silentOn = Code::ProgramChunk; }, failedOnErased, failedOnErased, passed,
     erased},
    {"badChecksumToChunk", [](C& c) { c.badChecksumOn = Code::ProgramChunk; }, failedOnErased, failedOnErased,
     passed, erased},
    // Any complete frame but ErrorReply accepts a chunk; the device did store it.
    {"otherCommandToChunk", [](C& c) { c.wrongCommandOn = Code::ProgramChunk; }, updated, updatedVerified,
     passed, erased},
    {"cellThatDoesNotHold", [](C& c) { c.corruptChunk = 2; }, updated, notFinished, passed, erased, false,
     true},
    {"noAnswerToVerify", [](C& c) { c.silentOn = Code::VerifyChunk; }, updated, notFinished, verifyFailed,
     erased},
    {"badChecksumToVerify", [](C& c) { c.badChecksumOn = Code::VerifyChunk; }, updated, notFinished,
     verifyFailed, erased},
    // The adapter unplugged at the first chunk, in the middle, and at the last chunk: the run ends at
    // once and says the port went.
    {"unplugAtFirstChunk", [](C& c) { c.hangUpAfterChunks = 0; }, lostOnErased, lostOnErased, passed, erased,
     true},
    {"unplugMidway", [](C& c) { c.hangUpAfterChunks = testImageChunks / 2; }, lostPartway, lostPartway,
     passed, erased, true},
    {"unplugAtLastChunk", [](C& c) { c.hangUpAfterChunks = testImageChunks - 1; }, lostPartway, lostPartway,
     passed, erased, true},
};

void PrintTo(const FaultRow& row, std::ostream* os) {
    *os << row.name;
}

// What the device received and what the updater said, for a cell that ends otherwise than expected.
std::string conversation(const sim::SimulatedDevice& device, const JobRun& run) {
    std::string text = "device received:\n";
    const std::vector<sim::Received> received = device.transcript();
    for (const sim::Received& entry : received) {
        text += sim::describe(entry, received.front().time) + "\n";
    }
    text += "updater said:\n";
    for (const std::string& call : run.sinks.all()) {
        if (call.rfind("status:", 0) == 0 || call.rfind("box:", 0) == 0) {
            text += "  " + call + "\n";
        }
    }
    return text;
}

using Cell = std::tuple<FaultRow, Op>;

class FaultMatrix : public testing::TestWithParam<Cell> {};

// Every cell: the right outcome, exit status and last status line, within a generous bound; no Finish
// after a failure; never a success while the device does not hold what was asked; and the port closed
// and free for the next open at once wherever the line survives.
TEST_P(FaultMatrix, EndsRightAndFreesThePort) {
    const auto& [row, op] = GetParam();
    const Expect& expect = row.expected(op);
    sim::Config config;
    config.initialSpeed = Speed::rs232Initial;
    config.eraseTimeMs = 20;
    row.fault(config);
    sim::SimulatedDevice device(config);
    ASSERT_TRUE(device.start()) << device.startError();
    const FileCopy& image = testImage();
    if (!programs(op)) {
        preload(device, image); // what an earlier update left there
    }
    TempImage file(image);
    const std::string port = device.portPath();
    const std::size_t heldByDevice = descriptorsOn(port);

    JobRun run;
    runOn(run,
          programs(op)       ? Operation::update
          : op == Op::verify ? Operation::verify
                             : Operation::erase,
          op == Op::updateVerified, port, file.path());
    // Finish gets no reply: give the device a moment to log what is already on the line.
    std::this_thread::sleep_for(std::chrono::milliseconds(50));

    const Outcome outcome = run.result.outcome;
    EXPECT_EQ(outcome, expect.outcome) << conversation(device, run);
    EXPECT_EQ(exitCodeFor(outcome), documentedExit(expect.outcome));
    const std::vector<std::string> statuses = run.sinks.of("status");
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.back(), expect.lastStatus);
    EXPECT_LT(run.took, std::chrono::seconds(60)) << "a generous bound";

    // What the run says the device holds is what the device holds.
    const DeviceHolding& holding = run.result.report.device;
    EXPECT_EQ(holding.state, expect.state) << deviceStateName(holding.state);
    EXPECT_EQ(holding.eraseUnconfirmed, outcome == Outcome::eraseFailed);
    if (holding.state == DeviceState::erased || holding.state == DeviceState::partlyProgrammed) {
        EXPECT_EQ(holding.bytesProgrammed == 0, holding.state == DeviceState::erased);
        EXPECT_LT(holding.bytesProgrammed, image.totalSize());
        EXPECT_TRUE(holdsAcknowledged(device, image, holding.bytesProgrammed));
    }
    if (row.hangsUpWhenProgrammed && programs(op)) {
        EXPECT_LT(run.result.report.times[std::size_t(Phase::programming)], std::chrono::seconds(2))
            << "a lost port ends the chunk wait at once, not after its three seconds";
    }

    const std::vector<std::uint16_t> codes = device.frameCodes();
    const bool finishSent = std::find(codes.begin(), codes.end(), Code::Finish) != codes.end();
    for (const Message& box : run.sinks.messages()) {
        EXPECT_EQ(box.icon == MessageIcon::information, outcome == Outcome::succeeded) << box.text;
    }
    if (outcome != Outcome::succeeded) {
        EXPECT_FALSE(finishSent) << "no Finish after a failure";
    }
    if (programs(op)) {
        EXPECT_EQ(finishSent, outcome == Outcome::succeeded);
        if (outcome == Outcome::succeeded) {
            // Only a device that acknowledges what it lost can fool an update without a verify.
            EXPECT_EQ(holdsImage(device, image), !(row.acknowledgesWhatItLost && op == Op::update));
        }
    } else {
        EXPECT_FALSE(finishSent);
        if (op == Op::erase && outcome == Outcome::succeeded) {
            EXPECT_TRUE(erasedUnder(device, image));
        }
        if (op == Op::verify) {
            EXPECT_TRUE(holdsImage(device, image)) << "a verify changes nothing";
        }
    }

    if (row.hangsUpWhenProgrammed && programs(op)) {
        EXPECT_TRUE(device.hungUp());
        EXPECT_EQ(descriptorsOn(port), 0u) << "the updater closed its end of the dead line";
    } else {
        EXPECT_EQ(descriptorsOn(port), heldByDevice) << "the updater closed the port";
        EXPECT_TRUE(reopens(port));
    }
}

INSTANTIATE_TEST_SUITE_P(Cells, FaultMatrix,
                         testing::Combine(testing::ValuesIn(rows), testing::ValuesIn(allOps)),
                         [](const testing::TestParamInfo<Cell>& info) {
                             return std::string(std::get<0>(info.param).name) + "_" +
                                    nameOf(std::get<1>(info.param));
                         });

} // namespace

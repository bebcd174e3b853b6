#include "control/Handshake.h"

#include "Rig.h"
#include "control/Connect.h"
#include "vtc880/DeviceCodes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vtc880;

namespace {

using testing::ElementsAre;

struct HandshakeCase {
    const char* name;
    // What the polls after the nth Handshake bring.
    std::function<std::vector<Poll>(int nth)> device;
    bool succeeds;
    int handshakes;
    int polls;
};

void PrintTo(const HandshakeCase& c, std::ostream* os) {
    *os << c.name;
}

class HandshakeLoop : public testing::TestWithParam<HandshakeCase> {};

TEST_P(HandshakeLoop, NeedsAnAckWithinNinePollsOverAllResends) {
    const HandshakeCase& c = GetParam();
    Rig rig;
    rig.device.script = [&](const SentFrame&, int nth) { return std::optional(c.device(nth)); };

    EXPECT_EQ(handshake(rig.session), c.succeeds);
    EXPECT_EQ(rig.link.count(Code::Handshake), c.handshakes);
    EXPECT_EQ(rig.link.sent.size(), std::size_t(c.handshakes)) << "only Handshake frames go out";
    EXPECT_EQ(rig.link.polls, c.polls);
    EXPECT_TRUE(rig.sinks.all().empty()) << "the loop itself reports nothing";
}

const Poll ack = reply(Reply::Ack);
const Poll other = reply('X');

INSTANTIATE_TEST_SUITE_P(
    Cases, HandshakeLoop,
    testing::Values(
        HandshakeCase{"ackOnFirstPoll", [](int) { return std::vector<Poll>{ack}; }, true, 1, 1},
        HandshakeCase{"ackOnNinthPoll", [](int) { return after(8, ack); }, true, 1, 9},
        HandshakeCase{"ackOnTenthPollIsTooLate", [](int) { return after(9, ack); }, false, 1, 10},
        HandshakeCase{"silentDeviceGetsOneHandshake", [](int) { return std::vector<Poll>{}; }, false, 1, 10},
        HandshakeCase{"otherCommandEveryTime", [](int) { return std::vector<Poll>{other}; }, false, 10, 10},
        HandshakeCase{"errorReplyIsResentLikeAnyOther",
                      [](int nth) { return std::vector<Poll>{nth == 0 ? reply(Reply::ErrorReply) : ack}; },
                      true, 2, 2},
        // The poll count runs on across re-sends: 5 + 4 polls make nine, 5 + 5 make ten.
        HandshakeCase{"budgetSharedAcrossResendsNinth",
                      [](int nth) { return nth == 0 ? after(4, other) : after(3, ack); }, true, 2, 9},
        HandshakeCase{"budgetSharedAcrossResendsTenth",
                      [](int nth) { return nth == 0 ? after(4, other) : after(4, ack); }, false, 2, 10},
        HandshakeCase{"corruptAckIsNotAccepted",
                      [](int) {
                          return std::vector<Poll>{corruptReply(Reply::Ack), silence(), ack};
                      },
                      true, 1, 3},
        HandshakeCase{"onlyCorruptAcks", [](int) { return std::vector<Poll>(12, corruptReply(Reply::Ack)); },
                      false, 1, 10}),
    [](const testing::TestParamInfo<HandshakeCase>& info) { return std::string(info.param.name); });

TEST(Connect, SendsThePreambleSettlesAndReportsConnected) {
    Rig rig;
    std::atomic<bool> connected{false};

    EXPECT_TRUE(connectDevice(rig.session, connected));

    EXPECT_TRUE(connected);
    EXPECT_THAT(rig.link.events, ElementsAre("purge", "preamble", "purge", "send:4454"));
    EXPECT_EQ(rig.clock.sleptMs, Preamble::settleMs);
    EXPECT_THAT(rig.sinks.all(), ElementsAre("status:Connecting to VTC880 ...", "status:VTC880 Connected"));
}

TEST(Connect, SilentDeviceShowsTheErrorThenDisconnectedAndKeepsConnected) {
    for (bool before : {false, true}) {
        Rig rig;
        rig.device.script = [](const SentFrame&, int) { return std::optional(std::vector<Poll>{}); };
        std::atomic<bool> connected{before};

        EXPECT_FALSE(connectDevice(rig.session, connected));

        EXPECT_EQ(connected, before) << "a failed connect never clears an earlier success";
        EXPECT_THAT(rig.sinks.all(),
                    ElementsAre("status:Connecting to VTC880 ...",
                                "box:VTC880 Connection error !|Error|error", "status:VTC880 Disconnected !"));
        EXPECT_EQ(rig.link.polls, Limits::handshakePolls);
    }
}

TEST(Connect, CancelledRunRaisesNoBoxAndEndsItsPause) {
    Rig rig;
    rig.device.script = [](const SentFrame&, int) { return std::optional(std::vector<Poll>{}); };
    rig.cancel = true;
    std::atomic<bool> connected{false};

    EXPECT_FALSE(connectDevice(rig.session, connected));

    EXPECT_TRUE(rig.sinks.messages().empty());
    EXPECT_EQ(rig.clock.sleptMs, 0);
    EXPECT_LE(rig.link.polls, 1);
}

} // namespace

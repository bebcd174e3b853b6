#include "control/Erase.h"

#include "Rig.h"
#include "vtc880/DeviceCodes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <limits>

using namespace vtc880;

namespace {

using testing::ElementsAre;
using testing::ElementsAreArray;

std::optional<std::vector<Poll>> answerTo(const SentFrame& f, std::uint16_t code, std::vector<Poll> polls) {
    if (f.code == code) {
        return polls;
    }
    return std::nullopt;
}

TEST(Erase, ReportsTheAnnouncedTimeAndProgressByTheClock) {
    Rig rig;
    rig.device.eraseTimeMs = 900;
    rig.device.eraseSilentPolls = 3; // each silent poll is 1 ms on the fake clock

    EXPECT_EQ(eraseDevice(rig.session), EraseResult::erased);

    EXPECT_THAT(rig.link.events, ElementsAre("purge", "send:4454", "send:5446", "send:4146"));
    EXPECT_THAT(rig.sinks.all(),
                ElementsAre("status:", "value:0", "status:Connection to VTC880 ...",
                            "status:Calculating erase time ...", "status:Erasing (0.9 seconds) ...",
                            "max:900", "value:0", "value:1", "value:2", "value:3", "value:3",
                            "status:Firmware erased"));
}

TEST(Erase, ProgressStopsOnceTheAnnouncedTimeHasPassed) {
    Rig rig;
    rig.device.eraseTimeMs = 2;
    rig.device.eraseSilentPolls = 5;

    EXPECT_EQ(eraseDevice(rig.session), EraseResult::erased);

    EXPECT_THAT(callsAfter(rig.sinks, "max:2"), ElementsAre("value:0", "value:1", "status:Firmware erased"));
}

struct EraseTimeCase {
    const char* name;
    std::int32_t announced;
    const char* status;
    std::int32_t maximum;
};

void PrintTo(const EraseTimeCase& c, std::ostream* os) {
    *os << c.name;
}

class EraseTime : public testing::TestWithParam<EraseTimeCase> {};

// A silent erase is waited for announced time + 5000 polls; the announced time is taken as usable.
TEST_P(EraseTime, SilentEraseWaitsTheTimePlusFiveThousandPolls) {
    const EraseTimeCase& c = GetParam();
    Rig rig;
    rig.device.eraseTimeMs = c.announced;
    rig.device.script = [](const SentFrame& f, int) { return answerTo(f, Code::EraseAll, {}); };

    EXPECT_EQ(eraseDevice(rig.session), EraseResult::eraseFailed);

    EXPECT_EQ(rig.link.pollsSinceSend, c.maximum + Limits::eraseExtraPolls);
    EXPECT_THAT(rig.sinks.of("status"),
                ElementsAre("", "Connection to VTC880 ...", "Calculating erase time ...", c.status,
                            "Erasing failed !"));
    EXPECT_THAT(rig.sinks.of("max"), ElementsAre(std::to_string(c.maximum)));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EraseTime,
    testing::Values(EraseTimeCase{"zero", 0, "Erasing (0.0 seconds) ...", 0},
                    EraseTimeCase{"negativeCountsAsZero", -1500, "Erasing (0.0 seconds) ...", 0},
                    EraseTimeCase{"short", 20, "Erasing (0.0 seconds) ...", 20},
                    EraseTimeCase{"oneDecimal", 1250, "Erasing (1.2 seconds) ...", 1250}),
    [](const testing::TestParamInfo<EraseTimeCase>& info) { return std::string(info.param.name); });

TEST(Erase, ZeroTimeLeavesTheProgressBarStill) {
    Rig rig;
    rig.device.eraseTimeMs = 0;
    rig.device.eraseSilentPolls = 40;

    EXPECT_EQ(eraseDevice(rig.session), EraseResult::erased);

    EXPECT_THAT(callsAfter(rig.sinks, "max:0"), ElementsAre("value:0", "status:Firmware erased"));
}

// An announced time no erase can mean (0x7FFFFFFF ms is about 25 days) is waited for only up to the
// ceiling; a device that has not answered by then has failed its erase.
TEST(Erase, AnnouncedTimeIsBoundedByTheCeiling) {
    constexpr std::int32_t most = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(usableEraseTime(most), Limits::eraseCeilingMs);
    EXPECT_EQ(usableEraseTime(Limits::eraseCeilingMs), Limits::eraseCeilingMs);
    EXPECT_EQ(usableEraseTime(900), 900);
    EXPECT_EQ(usableEraseTime(std::numeric_limits<std::int32_t>::min()), 0);

    Rig quick;
    quick.device.eraseTimeMs = most; // the sanitizer build catches a signed overflow of the bound
    EXPECT_EQ(eraseDevice(quick.session), EraseResult::erased);
    EXPECT_TRUE(quick.sinks.has("status:Erasing (300.0 seconds) ..."));
    EXPECT_TRUE(quick.sinks.has("max:" + std::to_string(Limits::eraseCeilingMs)));

    Rig never;
    never.device.eraseTimeMs = most;
    never.device.script = [](const SentFrame& f, int) { return answerTo(f, Code::EraseAll, {}); };
    EXPECT_EQ(eraseDevice(never.session), EraseResult::eraseFailed);
    EXPECT_EQ(never.link.pollsSinceSend, Limits::eraseCeilingMs + Limits::eraseExtraPolls);
    EXPECT_EQ(never.sinks.of("status").back(), "Erasing failed !");
}

struct EraseFailureCase {
    const char* name;
    std::function<std::optional<std::vector<Poll>>(const SentFrame&, int)> script;
    EraseResult result;
    std::vector<std::uint16_t> codes;
    std::vector<std::string> statuses;
};

void PrintTo(const EraseFailureCase& c, std::ostream* os) {
    *os << c.name;
}

class EraseFailure : public testing::TestWithParam<EraseFailureCase> {};

TEST_P(EraseFailure, ReportsInTheStatusBoxOnly) {
    const EraseFailureCase& c = GetParam();
    Rig rig;
    rig.device.eraseTimeMs = 10;
    rig.device.script = c.script;

    EXPECT_EQ(eraseDevice(rig.session), c.result);

    EXPECT_THAT(rig.link.codes(), ElementsAreArray(c.codes));
    EXPECT_THAT(rig.sinks.of("status"), ElementsAreArray(c.statuses));
    EXPECT_TRUE(rig.sinks.messages().empty());
}

const std::vector<std::string> timeOut{"", "Connection to VTC880 ...", "Calculating erase time ...",
                                       "Communication time out !"};
const std::vector<std::string> failed{"", "Connection to VTC880 ...", "Calculating erase time ...",
                                      "Erasing (0.0 seconds) ...", "Erasing failed !"};

INSTANTIATE_TEST_SUITE_P(
    Cases, EraseFailure,
    testing::Values(EraseFailureCase{"silentAtHandshake",
                                     [](const SentFrame&, int) { return std::optional(std::vector<Poll>{}); },
                                     EraseResult::handshakeFailed,
                                     {Code::Handshake},
                                     {"", "Connection to VTC880 ...", "Communication time out !"}},
                    EraseFailureCase{
                        "noAnswerToTheTimeQuery",
                        [](const SentFrame& f, int) { return answerTo(f, Code::EraseTimeQuery, {}); },
                        EraseResult::noEraseTime,
                        {Code::Handshake, Code::EraseTimeQuery},
                        timeOut},
                    EraseFailureCase{"timeQueryAnsweredOnEleventhPoll",
                                     [](const SentFrame& f, int) {
                                         return answerTo(f, Code::EraseTimeQuery,
                                                         after(10, reply(Reply::Ack, le32(10))));
                                     },
                                     EraseResult::noEraseTime,
                                     {Code::Handshake, Code::EraseTimeQuery},
                                     timeOut},
                    EraseFailureCase{"timeQueryAnsweredWithAnotherCommand",
                                     [](const SentFrame& f, int) {
                                         return answerTo(f, Code::EraseTimeQuery, {reply('X', le32(10))});
                                     },
                                     EraseResult::noEraseTime,
                                     {Code::Handshake, Code::EraseTimeQuery},
                                     timeOut},
                    EraseFailureCase{
                        "timeQueryAckTooShort",
                        [](const SentFrame& f, int) {
                            return answerTo(f, Code::EraseTimeQuery, {reply(Reply::Ack, {0x10, 0x00, 0x00})});
                        },
                        EraseResult::noEraseTime,
                        {Code::Handshake, Code::EraseTimeQuery},
                        timeOut},
                    EraseFailureCase{"timeQueryAckCorrupt",
                                     [](const SentFrame& f, int) {
                                         return answerTo(f, Code::EraseTimeQuery, {corruptReply(Reply::Ack)});
                                     },
                                     EraseResult::noEraseTime,
                                     {Code::Handshake, Code::EraseTimeQuery},
                                     timeOut},
                    EraseFailureCase{"errorReplyToTheErase",
                                     [](const SentFrame& f, int) {
                                         return answerTo(f, Code::EraseAll, {reply(Reply::ErrorReply)});
                                     },
                                     EraseResult::eraseFailed,
                                     {Code::Handshake, Code::EraseTimeQuery, Code::EraseAll},
                                     failed}),
    [](const testing::TestParamInfo<EraseFailureCase>& info) { return std::string(info.param.name); });

TEST(Erase, TimeReplyOnTheTenthPollIsAccepted) {
    Rig rig;
    rig.device.script = [](const SentFrame& f, int) {
        return answerTo(f, Code::EraseTimeQuery, after(9, reply(Reply::Ack, le32(500))));
    };

    EXPECT_EQ(eraseDevice(rig.session), EraseResult::erased);
    EXPECT_TRUE(rig.sinks.has("status:Erasing (0.5 seconds) ..."));
}

TEST(Erase, AnyFrameButErrorReplyMeansErasedAtOnce) {
    Rig rig;
    rig.device.eraseTimeMs = 60000;
    rig.device.script = [](const SentFrame& f, int) { return answerTo(f, Code::EraseAll, {reply('Z')}); };

    EXPECT_EQ(eraseDevice(rig.session), EraseResult::erased);
    EXPECT_EQ(rig.link.pollsSinceSend, 1);
    EXPECT_EQ(rig.sinks.of("status").back(), "Firmware erased");
}

TEST(Erase, CancelEndsTheWaitWithinAPoll) {
    Rig rig;
    rig.device.eraseTimeMs = std::numeric_limits<std::int32_t>::max();
    rig.device.script = [&](const SentFrame& f, int) {
        if (f.code == Code::EraseAll) {
            rig.cancel = true;
        }
        return answerTo(f, Code::EraseAll, {});
    };

    EXPECT_EQ(eraseDevice(rig.session), EraseResult::eraseFailed);
    EXPECT_EQ(rig.link.pollsSinceSend, 1);
}

} // namespace

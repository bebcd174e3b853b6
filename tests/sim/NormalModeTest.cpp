#include "Rig.h"

#include <random>

using namespace vtc880;

namespace simtest {
namespace {

std::size_t recordedCharacters(const sim::SimulatedDevice& device) {
    std::size_t n = 0;
    for (const sim::Received& entry : device.transcript())
        n += entry.text.size();
    return n;
}

// Writes text in normal mode and waits until the device has taken every character of it.
testing::AssertionResult sendAscii(Rig& rig, const std::string& text) {
    const std::size_t before = recordedCharacters(*rig.device);
    rig.port->write(text);
    if (!eventually([&] { return recordedCharacters(*rig.device) == before + text.size(); }))
        return testing::AssertionFailure() << "the device did not record all of the text";
    return testing::AssertionSuccess();
}

struct SpeedCase {
    const char* name;
    std::string text;
    std::int32_t speedAfter;
};

void PrintTo(const SpeedCase& c, std::ostream* os) {
    *os << c.name;
}

class SpeedCommands : public testing::TestWithParam<SpeedCase> {};

TEST_P(SpeedCommands, SwitchTheLineOnlyWhenWellFormed) {
    Rig rig;
    ASSERT_TRUE(rig.start());
    ASSERT_TRUE(sendAscii(rig, GetParam().text));
    EXPECT_EQ(rig.device->speed(), GetParam().speedAfter);
    EXPECT_TRUE(rig.port->readFor(50ms).empty());
}

INSTANTIATE_TEST_SUITE_P(
    SimulatedDevice, SpeedCommands,
    testing::Values(SpeedCase{"stageOne", "1BR115200\r", 115200},
                    SpeedCase{"stageTwo", "2BR921600\r", 921600},
                    SpeedCase{"afterGarbage", std::string("\x00\xFFxx", 4) + "1BR57600\r", 57600},
                    SpeedCase{"lastOfTwo", "1BR115200\r2BR9600\r", 9600},
                    SpeedCase{"noCarriageReturn", "1BR115200", 19200},
                    SpeedCase{"noStage", "BR115200\r", 19200},
                    SpeedCase{"notALineSpeed", "1BR115201\r", 19200},
                    SpeedCase{"hugeNumber", "1BR1152000000000000\r", 19200},
                    SpeedCase{"lowerCase", "1br115200\r", 19200}, SpeedCase{"zero", "1BR0\r", 19200}),
    [](const testing::TestParamInfo<SpeedCase>& info) { return std::string(info.param.name); });

struct PreambleCase {
    const char* name;
    std::string text;
    bool enters;
};

void PrintTo(const PreambleCase& c, std::ostream* os) {
    *os << c.name;
}

class Preambles : public testing::TestWithParam<PreambleCase> {};

TEST_P(Preambles, EnterUpdateModeOnlyWhenComplete) {
    Rig rig;
    ASSERT_TRUE(rig.start());
    ASSERT_TRUE(sendAscii(rig, GetParam().text));
    EXPECT_EQ(rig.device->inUpdateMode(), GetParam().enters);
    // Frames are answered in update mode only.
    if (GetParam().enters) {
        EXPECT_EQ(rig.ask(Code::Handshake).frame, ackFrame);
        EXPECT_EQ(rig.device->frameCodes(), std::vector<std::uint16_t>{Code::Handshake});
    } else {
        EXPECT_TRUE(rig.askExpectingSilence(Code::Handshake).empty());
        EXPECT_TRUE(rig.device->frameCodes().empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    SimulatedDevice, Preambles,
    testing::Values(PreambleCase{"complete", "FIRMWAREUPDATE\r$KQ-", true},
                    PreambleCase{"afterGarbage", "xyzFIRMWAREUPDATE\r$KQ-", true},
                    PreambleCase{"afterSpeedCommand", "1BR19200\rFIRMWAREUPDATE\r$KQ-", true},
                    PreambleCase{"repeatedFirstPart", "FIRMWAREUPDATE\rFIRMWAREUPDATE\r$KQ-", true},
                    PreambleCase{"secondPartOnly", "$KQ-", false},
                    PreambleCase{"firstPartOnly", "FIRMWAREUPDATE\r", false},
                    PreambleCase{"misspelt", "FIRMWAREUPDAT\r$KQ-", false},
                    PreambleCase{"somethingBetween", "FIRMWAREUPDATE\rX$KQ-", false},
                    PreambleCase{"wrongLastCharacter", "FIRMWAREUPDATE\r$KQ+", false},
                    PreambleCase{"noCarriageReturn", "FIRMWAREUPDATE$KQ-", false}),
    [](const testing::TestParamInfo<PreambleCase>& info) { return std::string(info.param.name); });

TEST(SimulatedDeviceNormalMode, DoesNotAnswerFramesBeforeThePreamble) {
    Rig rig;
    ASSERT_TRUE(rig.start());
    const std::vector<std::pair<std::uint16_t, Bytes>> frames{
        {Code::Handshake, {}},
        {Code::EraseTimeQuery, {}},
        {Code::EraseAll, {}},
        {Code::ProgramChunk, chunkPayload(0x100, {1, 2})},
        {Code::VerifyChunk, chunkPayload(0x100, {1, 2})},
        {Code::Finish, {0x03}}};
    std::string sent;
    for (const auto& [code, data] : frames) {
        EXPECT_TRUE(rig.askExpectingSilence(code, data).empty()) << "code " << code;
        const Bytes f = commandFrame(code, data);
        sent.append(f.begin(), f.end());
    }
    ASSERT_TRUE(eventually([&] { return recordedCharacters(*rig.device) == sent.size(); }));
    std::string recorded;
    for (const sim::Received& entry : rig.device->transcript()) {
        EXPECT_EQ(entry.kind, sim::Received::Kind::ascii);
        recorded += entry.text;
    }
    EXPECT_EQ(recorded, sent);
    EXPECT_TRUE(rig.device->frameCodes().empty());
    EXPECT_EQ(rig.device->chunksProgrammed(), 0);
    EXPECT_FALSE(rig.device->finished());
}

TEST(SimulatedDeviceNormalMode, GarbageIsRecordedInBoundedRunsAndDoesNotBlockThePreamble) {
    Rig rig;
    ASSERT_TRUE(rig.start());
    std::mt19937 random(880);
    Bytes garbage(100000);
    for (std::uint8_t& b : garbage)
        b = std::uint8_t(random());
    rig.port->write(garbage);
    rig.port->write("FIRMWAREUPDATE\r$KQ-");
    ASSERT_TRUE(eventually([&] { return rig.device->inUpdateMode(); }, 10000ms));
    EXPECT_EQ(rig.ask(Code::Handshake).frame, ackFrame);
    std::size_t longest = 0;
    for (const sim::Received& entry : rig.device->transcript())
        longest = std::max(longest, entry.text.size());
    EXPECT_LE(longest, 256u);
    EXPECT_EQ(recordedCharacters(*rig.device), garbage.size() + 19);
}

// Far more runs than the transcript keeps: it stops growing, and the device goes on answering.
TEST(SimulatedDeviceNormalMode, TranscriptStopsGrowingWhenFull) {
    Rig rig;
    ASSERT_TRUE(rig.start());
    const std::size_t runs = 300000;
    rig.port->write(std::string(runs, '\r'));
    ASSERT_TRUE(eventually(
        [&] { return rig.device->transcriptSize() + rig.device->transcriptDropped() == runs; }, 30000ms));
    EXPECT_LT(rig.device->transcriptSize(), runs);
    EXPECT_GT(rig.device->transcriptDropped(), 0u);
    rig.port->write("FIRMWAREUPDATE\r$KQ-");
    ASSERT_TRUE(eventually([&] { return rig.device->inUpdateMode(); }));
    EXPECT_EQ(rig.ask(Code::Handshake).frame, ackFrame);
}

} // namespace
} // namespace simtest

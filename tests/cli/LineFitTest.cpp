#include "terminal/LineFit.h"

#include "terminal/ProgressView.h"
#include "vtc880/DeviceProgress.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vtc880;

namespace {

using Kind = LineField::Kind;
using testing::HasSubstr;
using testing::Not;

// A live line as the tool draws it mid-programming: name, phase, percent, bar, bytes, block, speed,
// time left.
std::vector<LineField> programmingLine(const std::string& port) {
    return {{Kind::keepEnd, port, 6, 8},
            {Kind::text, "programming", 7},
            {Kind::text, " 45%", 5},
            {Kind::bar, {}, 3, 12, 32, 0.45},
            {Kind::text, "439.5 KiB / 976.6 KiB", 1},
            {Kind::text, "block 2/3", 0},
            {Kind::text, "8.6 KiB/s", 2},
            {Kind::text, "1:56 left", 4}};
}

struct FitCase {
    const char* name;
    std::string port;
    std::size_t width;
    std::vector<std::string> shown;  // in the line
    std::vector<std::string> absent; // dropped
};

void PrintTo(const FitCase& c, std::ostream* out) {
    *out << c.name;
}

class LineFit : public testing::TestWithParam<FitCase> {};

// Whatever the width, the line never wraps; fields go from the least kept, so that 80 columns keep
// the phase, the percent and the time left.
TEST_P(LineFit, KeepsTheMostImportantFieldsWithinTheWidth) {
    const FitCase& c = GetParam();
    const std::string line = fitLine(programmingLine(c.port), c.width);
    EXPECT_LE(line.size(), c.width) << line;
    for (const std::string& field : c.shown) {
        EXPECT_THAT(line, HasSubstr(field));
    }
    for (const std::string& field : c.absent) {
        EXPECT_THAT(line, Not(HasSubstr(field)));
    }
}

const std::string byId = "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A10K2XYZ-if00-port0";

INSTANTIATE_TEST_SUITE_P(
    Widths, LineFit,
    testing::Values(
        FitCase{
            "wide",
            "ttyUSB0",
            199,
            {"ttyUSB0", "programming", "45%", "[####", "439.5 KiB", "block 2/3", "8.6 KiB/s", "1:56 left"},
            {}},
        FitCase{"at119",
                "ttyUSB0",
                119,
                {"ttyUSB0", "programming", "45%", "[", "439.5 KiB", "8.6 KiB/s", "1:56 left"},
                {}},
        FitCase{"at79", "ttyUSB0", 79, {"ttyUSB0", "programming", "45%", "1:56 left", "8.6 KiB/s"}, {}},
        FitCase{"at39", "ttyUSB0", 39, {"ttyUSB0", "programming", "45%", "1:56 left"}, {"[", "KiB"}},
        FitCase{"longNameCutFromTheFront",
                byId,
                79,
                {"...", "port0", "programming", "45%", "1:56 left"},
                {"/dev/serial"}},
        FitCase{"longNameAt39", byId, 39, {"programming", "45%", "1:56 left"}, {"/dev/serial", "KiB"}},
        FitCase{"tooNarrowForAnyButThePhase", "ttyUSB0", 11, {"programming"}, {"45%"}},
        FitCase{"narrowerThanAnyField", "ttyUSB0", 5, {"pr..."}, {}},
        FitCase{"nothing", "ttyUSB0", 0, {}, {"p"}}),
    [](const testing::TestParamInfo<FitCase>& info) { return std::string(info.param.name); });

TEST(LineFitting, BarFillsItsShareAndControlCharactersCannotMoveTheCursor) {
    const std::string line = fitLine({{Kind::text, "port\033[2A\r", 2}, {Kind::bar, {}, 1, 12, 12, 0.5}}, 80);
    EXPECT_EQ(line, "port?[2A? [#####.....]");
}

TEST(LineFitting, SpareColumnsGoToTheCutNameBeforeTheBar) {
    const std::string line =
        fitLine({{Kind::keepEnd, "abcdefghijklmnop", 2, 4}, {Kind::bar, {}, 1, 3, 20, 1.0}}, 24);
    EXPECT_EQ(line, "abcdefghijklmnop [#####]");
}

// The live line of a device as the view builds it, at each width the issue names: it fits, and the
// percent beside the bar is the bar's own.
TEST(LiveLine, FitsEveryWidthAndPercentAgreesWithTheBar) {
    RunPlan plan;
    plan.verify = true;
    plan.imageBytes = 1000000;
    plan.blocks = 3;
    DeviceProgress progress(plan);
    const auto start = DeviceProgress::Clock::now();
    progress.enter(Phase::programming, start);
    progress.advance({Phase::programming, 0, 1000000, 0, 3}, start);
    progress.advance({Phase::programming, 250000, 1000000, 1, 3}, start + std::chrono::seconds(10));
    for (const std::size_t width : {39u, 79u, 119u, 199u}) {
        const std::string line =
            fitLine(ProgressView::lineFields("ttyUSB0", progress, start + std::chrono::seconds(10)), width);
        EXPECT_LE(line.size(), width) << line;
        EXPECT_THAT(line, HasSubstr("programming"));
        EXPECT_THAT(line, HasSubstr(" 25%"));
        EXPECT_THAT(line, HasSubstr("left"));
        if (const std::size_t bar = line.find('['); bar != std::string::npos) {
            const std::string inside = line.substr(bar + 1, line.find(']') - bar - 1);
            const auto filled = std::count(inside.begin(), inside.end(), '#');
            EXPECT_EQ(filled, std::ptrdiff_t(inside.size() / 4)) << line;
        }
    }
}

// The time left covers the whole run: programming done, the verify of the whole image is still to
// come, at the speed programming took.
TEST(TimeLeft, CoversTheVerifyAfterProgramming) {
    RunPlan plan;
    plan.verify = true;
    plan.imageBytes = 100000;
    plan.blocks = 2;
    DeviceProgress progress(plan);
    const auto t0 = DeviceProgress::Clock::now();
    EXPECT_FALSE(progress.secondsLeft(t0)) << "nothing is known of the erase yet";
    progress.enter(Phase::erase, t0);
    progress.advance({Phase::erase, 0, 3000}, t0);
    const std::optional<double> atErase = progress.secondsLeft(t0);
    ASSERT_TRUE(atErase);
    // 3 s of erase, then 100,000 bytes twice at the line's pace (about 9.2 KB/s at 115200).
    EXPECT_NEAR(*atErase, 3.0 + 2 * 100000 / 9216.0, 0.5);

    progress.enter(Phase::programming, t0 + std::chrono::seconds(3));
    progress.advance({Phase::programming, 0, 100000, 0, 2}, t0 + std::chrono::seconds(3));
    progress.advance({Phase::programming, 100000, 100000, 1, 2}, t0 + std::chrono::seconds(13));
    EXPECT_EQ(progress.percent(), 100);
    const std::optional<double> endOfProgramming = progress.secondsLeft(t0 + std::chrono::seconds(13));
    ASSERT_TRUE(endOfProgramming);
    EXPECT_NEAR(*endOfProgramming, 10.0, 0.5) << "the verify takes as long as programming did";

    progress.enter(Phase::verify, t0 + std::chrono::seconds(13));
    progress.advance({Phase::verify, 50000, 100000, 1, 2}, t0 + std::chrono::seconds(18));
    EXPECT_NEAR(*progress.secondsLeft(t0 + std::chrono::seconds(18)), 5.0, 0.5);
    EXPECT_NEAR(*progress.secondsLeft(t0 + std::chrono::seconds(30)), 0.0, 1e-9) << "never below zero";
}

TEST(TimeLeft, EraseCountsSecondsOfTheAnnouncedTime) {
    RunPlan plan;
    plan.operation = Operation::erase;
    DeviceProgress progress(plan);
    const auto t0 = DeviceProgress::Clock::now();
    progress.advance({Phase::erase, 1500, 6000}, t0);
    EXPECT_EQ(progress.phase(), Phase::erase);
    EXPECT_EQ(progress.percent(), 25);
    EXPECT_NEAR(*progress.secondsLeft(t0), 4.5, 1e-6);
    EXPECT_FALSE(progress.bytesPerSecond());
}

} // namespace

#include "RunTool.h"
#include "ToolImage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

using namespace vtc880;

namespace {

using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;

struct LogCase {
    const char* name;
    std::string options;
    int status;
    std::vector<std::string> phases; // the phase lines, in order
    std::string result;              // the last line starts so
};

void PrintTo(const LogCase& c, std::ostream* out) {
    *out << c.name;
}

class PlainLog : public testing::TestWithParam<LogCase> {
  protected:
    TempDir dir;
};

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Piped, the log of a three-block update reads in the order things happened: one line per phase,
// saying what it covers; each progress line labelled with the phase it belongs to, which is the phase
// of the line above it; the result last. None of the window's own texts.
TEST_P(PlainLog, ReadsInOrder) {
    const LogCase& c = GetParam();
    ASSERT_TRUE(writeToolImage("fw.hex"));
    const ToolRun run = runTool("update fw.hex --simulate --erase-time-ms 50 " + c.options);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    const std::vector<std::string> lines = linesOf(run.out);
    ASSERT_GE(lines.size(), 3u) << run.out;
    EXPECT_THAT(lines.front(), StartsWith("simulated: a simulated device on /dev/"));
    EXPECT_THAT(lines.back(), StartsWith("simulated: " + c.result)) << run.out;

    std::vector<std::string> phases;
    std::string phase;
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        const std::string& line = lines[i];
        ASSERT_THAT(line, StartsWith("simulated: ")) << line;
        const std::string said = line.substr(11);
        const std::string name = said.substr(0, said.find(':'));
        if (name != phase) {
            phases.push_back(name);
            phase = name;
        }
        if (said.find('%') != std::string::npos) {
            EXPECT_THAT(said, testing::MatchesRegex(phase + ": [0-9]+% \\(.*\\)"))
                << "a labelled progress line";
        }
    }
    EXPECT_EQ(phases, c.phases) << run.out;
    for (const char* windowText : {"Click OK", "Copying", "Firmware updated", "Verification", "Connecting"}) {
        EXPECT_THAT(run.out, Not(HasSubstr(windowText)));
    }
}

const std::vector<std::string> programmed{"update mode", "erase", "programming"};
std::vector<std::string> then(std::vector<std::string> first, const std::vector<std::string>& more) {
    first.insert(first.end(), more.begin(), more.end());
    return first;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PlainLog,
    testing::Values(
        LogCase{"update", "--no-speed-switch", 0, then(programmed, {"finish"}),
                "updated with fw.hex: 555 bytes, version 2.1.7, in "},
        LogCase{"withTheSpeedSwitch", "", 0, then({"speed switch"}, then(programmed, {"finish"})),
                "updated with fw.hex: 555 bytes"},
        LogCase{"verified", "--no-speed-switch --verify", 0, then(programmed, {"verify", "finish"}),
                "updated with fw.hex: 555 bytes, version 2.1.7, verified, in "},
        LogCase{"chunkRefused", "--no-speed-switch --error-on-chunk 2", 7, programmed,
                "FAILED (programming failed): programming stopped"},
        LogCase{"chunkRefusedWithVerify", "--no-speed-switch --verify --error-on-chunk 2", 7, programmed,
                "FAILED (programming failed)"},
        LogCase{"corruptChunk", "--no-speed-switch --verify --corrupt-chunk 2", 8,
                then(programmed, {"verify"}),
                "FAILED (verify failed): the device's memory differs from the image at block 2 of 3"}),
    [](const testing::TestParamInfo<LogCase>& info) { return std::string(info.param.name); });

// What each phase line says it covers.
TEST(PlainLogLines, SayWhatEachPhaseCovers) {
    TempDir dir;
    ASSERT_TRUE(writeToolImage("fw.hex"));
    const ToolRun run = runTool("update fw.hex --simulate --verify --erase-time-ms 50");
    EXPECT_EQ(run.status, 0) << run.err;
    for (const char* line :
         {"simulated: speed switch: from 19200 to 115200 bit/s\n",
          "simulated: erase: the device announces 0.1 s\n", "simulated: programming: 555 bytes in 3 blocks\n",
          "simulated: programming: 100% (555 of 555 bytes, block 3 of 3)\n",
          "simulated: verify: 555 bytes in 3 blocks\n",
          "simulated: verify: 100% (555 of 555 bytes, block 3 of 3)\n"}) {
        EXPECT_THAT(run.out, HasSubstr(line));
    }
}

} // namespace

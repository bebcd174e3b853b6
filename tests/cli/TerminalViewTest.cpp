#include "ChildTool.h"
#include "TerminalScreen.h"
#include "ToolImage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <regex>

using namespace vtc880;

namespace {

using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;

struct TerminalCase {
    unsigned short columns;
    int devices;
};

std::string caseName(const testing::TestParamInfo<TerminalCase>& info) {
    return std::to_string(info.param.columns) + "columns" + std::to_string(info.param.devices) + "devices";
}

class TerminalView : public testing::TestWithParam<TerminalCase> {
  protected:
    TempDir dir;
};

// The tool on a terminal of each width, with one and with several devices: each device keeps one
// live line that fits the width (a line that wrapped would leave stale rows under every redraw), and
// when the run ends the results stand where the live lines were, each device's in the order of the
// command line, then the total.
TEST_P(TerminalView, OneLineEachThatFitsThenTheResults) {
    const TerminalCase& c = GetParam();
    // About a second of programming on the modelled line: the bars are redrawn many times.
    ASSERT_TRUE(writeToolImage("fw.hex", 10000));
    std::vector<std::string> arguments{
        "update", "fw.hex", "--simulate", "--line-model", "--no-speed-switch", "--erase-time-ms", "300"};
    std::vector<std::string> ports;
    for (int d = 0; d < c.devices; ++d) {
        ports.push_back(c.devices == 1 ? "simulated" : "dev" + std::to_string(d));
        if (c.devices > 1) {
            arguments.insert(arguments.end(), {"--port", ports.back()});
        }
    }
    ChildTool tool = ChildTool::onTerminal(arguments, c.columns, 40);
    ASSERT_TRUE(tool.started());
    EXPECT_TRUE(tool.readToEnd()) << tool.output;
    EXPECT_EQ(tool.wait(), 0) << tool.output;
    const std::string& out = tool.output;

    // Every live line ends before the last column; the block of live lines is one line per device.
    const std::regex live("\r\033\\[K([^\r\n]*)"); // the escape itself: the pattern knows no \033
    int liveLines = 0;
    for (auto it = std::sregex_iterator(out.begin(), out.end(), live); it != std::sregex_iterator(); ++it) {
        ++liveLines;
        EXPECT_LT((*it)[1].length(), c.columns) << (*it)[1];
    }
    EXPECT_GE(liveLines, 4 * c.devices) << "the live lines were drawn, and redrawn";
    const std::regex up("\033\\[(\\d+)A");
    for (auto it = std::sregex_iterator(out.begin(), out.end(), up); it != std::sregex_iterator(); ++it) {
        EXPECT_EQ(std::stoi((*it)[1]), c.devices);
    }
    EXPECT_THAT(out, HasSubstr("programming")) << "the phase shows";

    TerminalScreen screen(c.columns);
    screen.write(out);
    EXPECT_FALSE(screen.wrappedUnderARedraw());
    const std::vector<std::string> lines = screen.logicalLines();
    const std::size_t results = ports.size() + (c.devices > 1 ? 1 : 0);
    ASSERT_GE(lines.size(), results);
    for (std::size_t d = 0; d < ports.size(); ++d) {
        EXPECT_THAT(lines[lines.size() - results + d],
                    StartsWith(ports[d] + ": updated with fw.hex: 10,254 bytes"));
    }
    if (c.devices > 1) {
        EXPECT_THAT(lines.back(), StartsWith(std::to_string(c.devices) + " devices: " +
                                             std::to_string(c.devices) + " updated, 0 failed"));
    }
    for (const std::string& line : lines) {
        // Nothing of a live line is left on the screen.
        EXPECT_THAT(line, Not(HasSubstr("%"))) << line;
        EXPECT_THAT(line, Not(HasSubstr(" left"))) << line;
        EXPECT_THAT(line, Not(HasSubstr("update mode"))) << line;
    }
}

// A terminal made narrower mid-run: the lines drawn after it fit the new width.
TEST(TerminalResize, LinesFitTheNewWidth) {
    TempDir dir;
    ASSERT_TRUE(writeToolImage("fw.hex", 20000));
    ChildTool tool = ChildTool::onTerminal(
        {"update", "fw.hex", "--simulate", "--line-model", "--no-speed-switch", "--erase-time-ms", "100"},
        120, 40);
    ASSERT_TRUE(tool.started());
    ASSERT_TRUE(tool.readUntil("programming")) << tool.output;
    ASSERT_TRUE(tool.readUntil(" left")) << tool.output;
    tool.resize(40, 40);
    // Frames drawn as the size changed may still be the old width; from the first frame that starts
    // well after it, every line fits.
    tool.readUntil("never said", std::chrono::milliseconds(300));
    const std::size_t settled = tool.output.size();
    EXPECT_TRUE(tool.readToEnd()) << tool.output;
    EXPECT_EQ(tool.wait(), 0);
    const std::size_t frame = tool.output.find("\033[1A", settled);
    ASSERT_NE(frame, std::string::npos) << "redrawn after the resize";
    const std::string after = tool.output.substr(frame);
    const std::regex live("\r\033\\[K([^\r\n]*)");
    int redrawn = 0;
    for (auto it = std::sregex_iterator(after.begin(), after.end(), live); it != std::sregex_iterator();
         ++it) {
        ++redrawn;
        EXPECT_LT((*it)[1].length(), 40u) << (*it)[1];
    }
    EXPECT_GE(redrawn, 2) << "redrawn after the resize";
}

INSTANTIATE_TEST_SUITE_P(Widths, TerminalView,
                         testing::Values(TerminalCase{40, 1}, TerminalCase{80, 1}, TerminalCase{120, 1},
                                         TerminalCase{200, 1}, TerminalCase{40, 3}, TerminalCase{80, 3},
                                         TerminalCase{120, 3}, TerminalCase{200, 3}),
                         caseName);

} // namespace

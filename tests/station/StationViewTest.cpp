#include "../cli/ChildTool.h"
#include "../cli/TerminalScreen.h"
#include "StationRig.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>

namespace {

using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

class StationTerminal : public testing::TestWithParam<unsigned short> {};

// A station on a terminal of each width, two boards updated at once: the table is its header and one
// line per slot, every line shorter than the width (one that wrapped would leave stale rows under
// each redraw), the slot and the phase always there, and a slot name's escape sequence never reaches
// the terminal. When the station stops, its summary stands under the table.
TEST_P(StationTerminal, OneFittedLinePerSlotUnderItsHeader) {
    const unsigned short columns = GetParam();
    Bench bench;
    sim::Config config;
    config.eraseTimeMs = 300; // the erase's percent and time left are drawn as it goes
    config.initialSpeed = 115200;
    const auto first = bench.plug(1, config);
    const auto second = bench.plug(2, config);
    const std::string hostile = "B\033[2J";
    ChildTool tool =
        ChildTool::onTerminal({"station", bench.image, "--slot", "A=" + bench.selector(1), "--slot",
                               hostile + "=" + bench.selector(2), "--dev-dir", bench.dev.string(),
                               "--no-speed-switch", "--verify", "--settle-ms", "0"},
                              columns, 40);
    ASSERT_TRUE(tool.started());
    ASSERT_TRUE(tool.readUntilSeen(": updated: ", 2)) << tool.output;
    tool.signal(SIGINT);
    EXPECT_TRUE(tool.readToEnd()) << tool.output;
    EXPECT_EQ(tool.wait(), 0) << tool.output;
    const std::string& out = tool.output;

    const std::regex live("\r\033\\[K([^\r\n]*)");
    int liveLines = 0;
    for (auto it = std::sregex_iterator(out.begin(), out.end(), live); it != std::sregex_iterator(); ++it) {
        ++liveLines;
        EXPECT_LT((*it)[1].length(), columns) << (*it)[1];
    }
    EXPECT_GE(liveLines, 3 * 4) << "the table was drawn, and redrawn";
    const std::regex up("\033\\[(\\d+)A");
    for (auto it = std::sregex_iterator(out.begin(), out.end(), up); it != std::sregex_iterator(); ++it) {
        EXPECT_EQ(std::stoi((*it)[1]), 3) << "the header and one line per slot";
    }
    EXPECT_THAT(out, Not(HasSubstr("\033[2J")));
    EXPECT_THAT(out, HasSubstr("erase")) << "the phase shows";

    TerminalScreen screen(columns);
    screen.write(out);
    EXPECT_FALSE(screen.wrappedUnderARedraw());
    const std::vector<std::string> lines = screen.logicalLines();
    const auto header = std::find_if(lines.begin(), lines.end(),
                                     [](const std::string& line) { return line.rfind("SLOT ", 0) == 0; });
    ASSERT_NE(header, lines.end()) << out;
    ASSERT_GE(lines.end() - header, 6) << "the table, then the summary";
    EXPECT_THAT(header[0], HasSubstr("PHASE"));
    EXPECT_THAT(header[1], testing::MatchesRegex("A +.*updated.*"));
    EXPECT_THAT(header[2], testing::MatchesRegex("B\\?\\[2J +.*updated.*"));
    EXPECT_EQ(header[3], "station stopped: 2 devices: 2 done, 0 failed");
    if (columns >= 80) {
        EXPECT_THAT(header[0], HasSubstr("LAST RESULT"));
        EXPECT_THAT(header[1], HasSubstr("updated in "));
    }
}

INSTANTIATE_TEST_SUITE_P(Widths, StationTerminal, testing::Values(40, 80, 120),
                         [](const testing::TestParamInfo<unsigned short>& info) {
                             return std::to_string(info.param) + "columns";
                         });

struct LogCase {
    const char* name;
    std::function<void(sim::Config&)> fault;
    std::vector<std::string> phases; // the phase lines, in order
    std::string result;              // the device's last line, after its label
};

void PrintTo(const LogCase& c, std::ostream* out) {
    *out << c.name;
}

class StationLog : public testing::TestWithParam<LogCase> {};

// Piped, a station's log of one update with --verify reads as `update`'s does, each line under the
// slot and port: the board's arrival, the start, one line per phase in the order they ran, progress
// lines labelled with their phase, the result last. None of the window's own texts.
TEST_P(StationLog, ReadsInOrder) {
    const LogCase& c = GetParam();
    Bench bench;
    sim::Config config;
    config.eraseTimeMs = 50;
    c.fault(config);
    const auto board = bench.plug(1, config);
    const std::string errors = (bench.root / "station.err").string();
    ChildTool tool = ChildTool::onPipe({"station", bench.image, "--slot", "A=" + bench.selector(1),
                                        "--dev-dir", bench.dev.string(), "--verify", "--settle-ms", "0"},
                                       errors);
    ASSERT_TRUE(tool.started());
    ASSERT_TRUE(tool.readUntilSeen(c.result, 1)) << tool.output;
    tool.signal(SIGINT);
    EXPECT_TRUE(tool.readToEnd()) << tool.output;
    EXPECT_EQ(tool.wait(), 0) << tool.output;

    std::vector<std::string> device;
    for (const std::string& line : linesOf(tool.output)) {
        if (line.rfind("A: ", 0) == 0) {
            device.push_back(line);
        }
    }
    ASSERT_GE(device.size(), 3u) << tool.output;
    const std::string label = device[0].substr(0, device[0].find(" arrived"));
    EXPECT_THAT(label, StartsWith("A: /dev/"));
    EXPECT_EQ(device[0], label + " arrived");
    EXPECT_EQ(device[1], label + ": updating");
    EXPECT_THAT(device.back(), StartsWith(label + ": " + c.result)) << tool.output;

    std::vector<std::string> phases;
    std::string phase;
    for (std::size_t i = 2; i + 1 < device.size(); ++i) {
        ASSERT_THAT(device[i], StartsWith(label + ": ")) << device[i];
        const std::string said = device[i].substr(label.size() + 2);
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
    EXPECT_EQ(phases, c.phases) << tool.output;
    for (const char* windowText :
         {"Click OK", "Copying", "Firmware updated", "Verif", "Connecting", "Erasing", "ko /"}) {
        EXPECT_THAT(tool.output, Not(HasSubstr(windowText)));
    }
    EXPECT_THAT(tool.output, HasSubstr(label + ": speed switch: from 19200 to 115200 bit/s\n"));
    EXPECT_THAT(tool.output, HasSubstr(label + ": erase: the device announces 0.1 s\n"));
    EXPECT_THAT(tool.output, HasSubstr(label + ": verify: 555 bytes in 3 blocks\n"));
}

const std::vector<std::string> programmed{"speed switch", "update mode", "erase", "programming", "verify"};

INSTANTIATE_TEST_SUITE_P(
    Cases, StationLog,
    testing::Values(LogCase{"verified", [](sim::Config&) {},
                            [] {
                                std::vector<std::string> all = programmed;
                                all.push_back("finish");
                                return all;
                            }(),
                            "updated: 555 bytes, version 2.1.0, verified, in "},
                    LogCase{"badCell", [](sim::Config& c) { c.corruptChunk = 2; }, programmed,
                            "FAILED (verify failed): the device's memory differs from the image at block 2"}),
    [](const testing::TestParamInfo<LogCase>& info) { return std::string(info.param.name); });

} // namespace

#include "terminal/StationView.h"

#include "../cli/ChildTool.h"
#include "../cli/TerminalScreen.h"
#include "StationRig.h"

#include <cstdio>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>

using namespace vtc880;

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

// A terminal made narrower while the station waits: the table is drawn again, to the new width.
TEST(StationTerminalResize, TheTableFitsTheNewWidth) {
    Bench bench;
    ChildTool tool =
        ChildTool::onTerminal({"station", bench.image, "--slot", "A=" + bench.selector(1), "--slot",
                               "B=" + bench.selector(2), "--dev-dir", bench.dev.string(), "--settle-ms", "0"},
                              120, 40);
    ASSERT_TRUE(tool.started());
    // The table, redrawn under the station's word that slot B waits for its port: its third header
    // (first drawn, then under A's word and B's). A resize before that redraw would be taken by it.
    ASSERT_TRUE(tool.readUntil("slot B: no port matches")) << tool.output;
    ASSERT_TRUE(tool.readUntilSeen("LAST RESULT", 3)) << tool.output;
    const std::string redraw = "\033[3A\r\033[J";
    const std::size_t before = tool.output.size();
    std::size_t draws = 0;
    for (std::size_t at = tool.output.find(redraw); at != std::string::npos;
         at = tool.output.find(redraw, at + 1)) {
        ++draws;
    }
    tool.resize(40, 40);
    ASSERT_TRUE(tool.readUntilSeen(redraw, draws + 1)) << "redrawn after the resize: " << tool.output;
    tool.readUntil("\x01 never said", 300ms);
    const std::string after = tool.output.substr(tool.output.find(redraw, before));
    tool.signal(SIGINT);
    EXPECT_TRUE(tool.readToEnd()) << tool.output;
    EXPECT_EQ(tool.wait(), 0) << tool.output;
    const std::regex live("\r\033\\[K([^\r\n]*)");
    int redrawn = 0;
    for (auto it = std::sregex_iterator(after.begin(), after.end(), live); it != std::sregex_iterator();
         ++it) {
        ++redrawn;
        EXPECT_LT((*it)[1].length(), 40u) << (*it)[1];
    }
    EXPECT_EQ(redrawn, 3) << "the header and both slots";
}

// Standard output into a file while a view draws, as a terminal would receive it.
class CapturedStdout {
  public:
    CapturedStdout() : file(std::tmpfile()) {
        std::fflush(stdout);
        saved = ::dup(STDOUT_FILENO);
        ::dup2(::fileno(file), STDOUT_FILENO);
    }
    ~CapturedStdout() {
        restore();
        std::fclose(file);
    }
    // Ends the capture: what was written.
    std::string text() {
        restore();
        std::rewind(file);
        std::string text;
        char buffer[4096];
        for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
            text.append(buffer, got);
        }
        return text;
    }

  private:
    void restore() {
        if (saved >= 0) {
            std::fflush(stdout);
            ::dup2(saved, STDOUT_FILENO);
            ::close(saved);
            saved = -1;
        }
    }
    std::FILE* file;
    int saved = -1;
};

// Boards pulled out of a slot and the next plugged in, each on another device name (as adapters get
// a new one when the old is still held): the slot keeps one line in the table, which shows the
// latest board, instead of a line for every board of the day. A serial number's escape sequence
// never reaches the terminal.
TEST(StationTable, BoardsThatComeAndGoKeepTheirSlotsLine) {
    CapturedStdout captured;
    {
        const Output out(false);
        StationView view(out, StationView::Style::terminal);
        view.watching({"A"}, "/dev", false);
        RunResult updated;
        updated.outcome = Outcome::succeeded;
        RunPlan plan;
        plan.imageBytes = 555;
        plan.blocks = 3;
        for (int board = 0; board < 5; ++board) {
            const SlotPort port{0, "A", "/dev/ttyUSB" + std::to_string(board),
                                "SN\033]0;owned\007" + std::to_string(board)};
            view.arrived(port);
            view.started(port, plan);
            DeviceEvent phase;
            phase.kind = DeviceEvent::Kind::phase;
            phase.phase = Phase::programming;
            view.progress(port, phase);
            view.finished(port, updated, "updated", 1.0);
            view.left(port);
        }
    }
    const std::string out = captured.text();
    const std::regex up("\033\\[(\\d+)A");
    int redraws = 0;
    for (auto it = std::sregex_iterator(out.begin(), out.end(), up); it != std::sregex_iterator(); ++it) {
        ++redraws;
        EXPECT_EQ(std::stoi((*it)[1]), 2) << "the header and the slot's one line";
    }
    EXPECT_GE(redraws, 5 * 4);
    const std::size_t last = out.rfind("\r\033[KA ");
    ASSERT_NE(last, std::string::npos) << out;
    EXPECT_THAT(
        out.substr(last),
        testing::MatchesRegex("\r\033\\[KA +/dev/ttyUSB4 +SN\\?\\]0;owned\\?4 +gone +updated in .*\n"));
    EXPECT_THAT(out, Not(HasSubstr("\033]")));
}

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

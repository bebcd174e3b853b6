#include "ChildTool.h"
#include "RunTool.h"
#include "ToolImage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <thread>

using namespace vtc880;

namespace {

using testing::HasSubstr;
using testing::Not;

struct LineCase {
    const char* name;
    std::string arguments;
    int status;
    std::string out; // standard output holds this ("" to skip)
    std::string err; // standard error holds this ("" to skip)
};

void PrintTo(const LineCase& c, std::ostream* out) {
    *out << c.name;
}

class CommandLine : public testing::TestWithParam<LineCase> {
  protected:
    TempDir dir;
};

// The first steps people take, and the slips they make: each has its status and says what to do.
TEST_P(CommandLine, SaysWhatToDo) {
    const LineCase& c = GetParam();
    ASSERT_TRUE(writeToolImage("fw.hex"));
    FileCopy one;
    one.append(250, 0x100, std::make_unique<std::uint8_t[]>(250));
    ASSERT_EQ(firmwareCreate("one.hex", one), 0);
    const ToolRun run = runTool(c.arguments);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    if (!c.out.empty()) {
        EXPECT_THAT(run.out, HasSubstr(c.out));
    }
    if (!c.err.empty()) {
        EXPECT_THAT(run.err, HasSubstr(c.err));
    }
}

const std::string commands =
    "the commands are: pack, info, update, verify, erase, sim, ports, records, station, help";

INSTANTIATE_TEST_SUITE_P(
    Cases, CommandLine,
    testing::Values(
        LineCase{"version", "--version", 0, "vtc880 " VTC880_VERSION_TEXT "\n", ""},
        LineCase{"help", "help", 0, "Subcommands:\n  pack", ""},
        LineCase{"helpOfACommand", "help update", 0, "--verify", ""},
        LineCase{"helpOfNoCommand", "help upgrade", 2, "", "unknown command 'upgrade'; " + commands},
        LineCase{"unknownCommand", "upgrade fw.hex", 2, "", "vtc880: unknown command 'upgrade'; " + commands},
        LineCase{"noCommand", "", 2, "", "vtc880: a command is needed; " + commands},
        LineCase{"emptyPort", "update fw.hex --port ''", 2, "", "--port: a port name is needed"},
        LineCase{"portTwice", "update fw.hex --port COM1 --port /dev/ttyS0", 2, "",
                 "'/dev/ttyS0' and 'COM1' name the same port (/dev/ttyS0): give each port once"},
        LineCase{"lowerCaseCom", "update fw.hex --port com1 --port COM1", 2, "", "name the same port"},
        LineCase{"oneBlock", "info one.hex", 0, "total: 1 block, 250 bytes\n", ""}),
    [](const testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

// A file that is not there: only the error, nothing of a listing.
TEST(InfoCommand, MissingFileReportsOnlyTheError) {
    TempDir dir;
    const ToolRun run = runTool("info missing.hex");
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "vtc880: missing.hex: cannot open the file: check the path\n");
}

// A port that is not there is reported once, and before the one-second pause that follows the speed
// commands: the run's own time says none was waited.
TEST(MissingPort, ReportedOnceBeforeThePause) {
    TempDir dir;
    ASSERT_TRUE(writeToolImage("fw.hex"));
    const ToolRun run = runTool("update fw.hex --port /dev/vtc880-no-such-port");
    EXPECT_EQ(run.status, 4);
    const std::string all = run.out + run.err;
    std::size_t count = 0;
    for (std::size_t at = all.find("no such port"); at != std::string::npos;
         at = all.find("no such port", at + 1)) {
        ++count;
    }
    EXPECT_EQ(count, 1u) << all;

    const ToolRun json = runTool("--json update fw.hex --port /dev/vtc880-no-such-port");
    const std::size_t at = json.out.find("\"seconds\":");
    ASSERT_NE(at, std::string::npos) << json.out;
    EXPECT_LT(std::stod(json.out.substr(at + 10)), 0.9) << json.out;
}

// `vtc880 sim` names its port (alone on the first line, for scripts), its link path, and how to stop it.
TEST(SimCommand, SaysItsPortItsLinkAndHowToStop) {
    TempDir dir;
    const std::string link = (dir.path() / "vtc880-link").string();
    ChildTool sim = ChildTool::onPipe({"sim", "--link-path", link}, "sim.err");
    ASSERT_TRUE(sim.started());
    ASSERT_TRUE(sim.readUntil("\n")) << sim.output;
    EXPECT_THAT(sim.output, testing::MatchesRegex("/dev/pts/[0-9]+\n"));
    const std::string port = sim.output.substr(0, sim.output.size() - 1);
    std::string said;
    for (int wait = 0; wait < 200 && said.find("stops it") == std::string::npos; ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        said = slurp("sim.err");
    }
    EXPECT_THAT(said, HasSubstr("a simulated VTC880 on " + port + " (also " + link + ")"));
    EXPECT_THAT(said, HasSubstr("Ctrl-C stops it"));
    sim.signal(SIGINT);
    EXPECT_EQ(sim.wait(), 0);
}

} // namespace

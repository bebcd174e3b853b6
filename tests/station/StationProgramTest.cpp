#include "BuiltPaths.h"
#include "StationRig.h"
#include "vtc880/ExitStatus.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

using namespace vtc880;

extern char** environ;

namespace {

using testing::HasSubstr;
namespace fs = std::filesystem;

std::string slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A program of the tool run as a person would run it, its output in a file.
class Program {
  public:
    Program(std::vector<std::string> args, const std::string& output) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, output.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
        args.insert(args.begin(), built::tool());
        std::vector<char*> argv;
        for (std::string& a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (::posix_spawn(&pid, built::tool(), &actions, nullptr, argv.data(), environ) != 0) {
            pid = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Program() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    bool running() const { return pid > 0; }
    void signal(int number) const { ::kill(pid, number); }
    // The exit status, or -1 when it did not end within the limit (it is then killed).
    int wait(std::chrono::seconds limit) {
        const auto end = std::chrono::steady_clock::now() + limit;
        int status = 0;
        while (::waitpid(pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > end) {
                return -1;
            }
            std::this_thread::sleep_for(20ms);
        }
        pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

  private:
    pid_t pid = -1;
};

bool eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return false;
        }
        std::this_thread::sleep_for(20ms);
    }
    return true;
}

// Ctrl-C on a station with an update under way, as an operator ends a shift: the first lets it end,
// the second cuts it short; either way the station prints its summary and the record file holds
// only whole records. Real time and real signals: the tool and a simulated board as programs.
TEST(StationProgram, CtrlCEndsWithASummaryAndNoHalfWrittenRecord) {
    for (const int presses : {1, 2}) {
        SCOPED_TRACE(std::to_string(presses) + " Ctrl-C");
        Bench bench;
        const std::string simOut = (bench.root / "sim.out").string();
        const std::string stationOut = (bench.root / "station.out").string();
        Program board({"sim", "--link-path", bench.socket(1), "--erase-time-ms", "2000"}, simOut);
        ASSERT_TRUE(eventually([&] { return std::filesystem::exists(bench.socket(1)); }, 5000ms))
            << slurp(simOut);
        Program station({"station", bench.image, "--slot", "A=" + bench.selector(1), "--dev-dir",
                         bench.dev.string(), "--no-speed-switch", "--verify", "--record", bench.records,
                         "--settle-ms", "0"},
                        stationOut);
        ASSERT_TRUE(station.running());
        ASSERT_TRUE(eventually(
            [&] { return slurp(stationOut).find(": erase: the whole firmware") != std::string::npos; },
            20000ms))
            << slurp(stationOut);
        for (int i = 0; i < presses; ++i) {
            station.signal(SIGINT);
            std::this_thread::sleep_for(200ms);
        }
        const int status = station.wait(std::chrono::seconds(60));
        const std::string out = slurp(stationOut);
        SCOPED_TRACE(out);
        EXPECT_THAT(out, HasSubstr("station: stopping: no new devices; 1 running update(s) stop before their "
                                   "erase or run to their end"));
        const std::vector<Json> records = readRecordLines(bench.records);
        ASSERT_EQ(records.size(), 1u);
        if (presses == 1) {
            EXPECT_EQ(status, Exit::ok);
            EXPECT_THAT(out, HasSubstr("A: "));
            EXPECT_THAT(out, HasSubstr(": updated: "));
            EXPECT_THAT(out, HasSubstr("station stopped: 1 device: 1 done, 0 failed\n  A: 1 done, 0 failed"));
            EXPECT_EQ(field(records[0], "outcome"), "succeeded");
        } else {
            EXPECT_EQ(status, Exit::interrupt);
            EXPECT_THAT(out, HasSubstr("station: stopping the running updates now"));
            EXPECT_THAT(out, HasSubstr("station stopped: 1 device: 0 done, 1 failed (interrupted 1); running "
                                       "updates were cut short"));
            EXPECT_EQ(field(records[0], "outcome"), "interrupted");
        }
        const std::string text = slurp(bench.records);
        EXPECT_EQ(text.back(), '\n') << "the last record is whole";
    }
}

// Ctrl-C before a board's erase has begun: its update stops there, the board keeps its firmware and no
// erase reaches it.
TEST(StationProgram, CtrlCBeforeTheEraseStopsThatUpdateAtOnce) {
    Bench bench;
    const std::string simOut = (bench.root / "sim.out").string();
    const std::string stationOut = (bench.root / "station.out").string();
    Program board({"sim", "--verbose", "--link-path", bench.socket(1), "--erase-time-ms", "20"}, simOut);
    ASSERT_TRUE(eventually([&] { return std::filesystem::exists(bench.socket(1)); }, 5000ms))
        << slurp(simOut);
    // The speed switch and its pause take about two seconds: time to be stopped in.
    Program station({"station", bench.image, "--slot", "A=" + bench.selector(1), "--dev-dir",
                     bench.dev.string(), "--record", bench.records, "--settle-ms", "0"},
                    stationOut);
    ASSERT_TRUE(
        eventually([&] { return slurp(stationOut).find(": updating") != std::string::npos; }, 20000ms))
        << slurp(stationOut);
    station.signal(SIGINT);
    const int status = station.wait(std::chrono::seconds(60));
    const std::string out = slurp(stationOut);
    SCOPED_TRACE(out);
    EXPECT_EQ(status, Exit::ok);
    const std::vector<Json> records = readRecordLines(bench.records);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(field(records[0], "outcome"), "interrupted");
    const std::string state = field(records[0], "state");
    EXPECT_TRUE(state == "untouched" || state == "in_update_mode") << state;
    EXPECT_EQ(slurp(simOut).find("EraseAll"), std::string::npos) << slurp(simOut);
}

// The records command reads what stations wrote, and says which lines are not records.
TEST(StationProgram, RecordsShowsATableAndASummary) {
    Bench bench;
    sim::Config config;
    config.eraseTimeMs = 20;
    const auto board = bench.plug(1, config);
    {
        RecordingReport report;
        StationRun run(bench.settings({{"A", 1}}), report);
        ASSERT_TRUE(report.waitFor([&] { return report.results().size() == 1; }));
        run.requestStop();
        ASSERT_EQ(run.join(), Exit::ok);
    }
    std::ofstream(bench.records, std::ios::app) << "{\"format\":\"vtc880-record/1\",\"sta";
    const std::string out = (bench.root / "records.out").string();
    Program records({"records", bench.records}, out);
    EXPECT_EQ(records.wait(std::chrono::seconds(30)), Exit::ok);
    const std::string text = slurp(out);
    EXPECT_THAT(text, HasSubstr("slot"));
    EXPECT_THAT(text, HasSubstr("update+verify"));
    EXPECT_THAT(text, HasSubstr("1 records: succeeded 1; 1 lines not records"));
    EXPECT_THAT(text, HasSubstr("line 2: not a whole record"));

    Program csv({"records", bench.records, "--csv"}, out);
    EXPECT_EQ(csv.wait(std::chrono::seconds(30)), Exit::ok);
    EXPECT_THAT(slurp(out), HasSubstr("format,start,end,wall_seconds,seconds,host,tool_version"));
}

// A --port selector that matches nothing is a usage error that lists what was found.
TEST(StationProgram, ASelectorThatMatchesNoPortIsAUsageError) {
    Bench bench;
    const std::string out = (bench.root / "update.out").string();
    Program update({"update", bench.image, "--port", "usb:1234:5678:no-such-serial"}, out);
    EXPECT_EQ(update.wait(std::chrono::seconds(30)), Exit::usage);
    EXPECT_THAT(slurp(out), HasSubstr("usb:1234:5678:no-such-serial: no port matches"));

    Program slot({"station", bench.image, "--slot", "usb:zz"}, out);
    EXPECT_EQ(slot.wait(std::chrono::seconds(30)), Exit::usage);
    EXPECT_THAT(slurp(out), HasSubstr("expected usb:VID:PID"));
}

// What would leave a station waiting for ever is a usage error, said before anything is watched.
TEST(StationProgram, SlotsAndFoldersThatCanNeverTakeAPortAreUsageErrors) {
    Bench bench;
    const std::string file = (bench.root / "a-file").string();
    std::ofstream(file) << "x";
    struct Case {
        std::vector<std::string> args;
        std::string why;
    };
    const Case cases[] = {
        {{"--slot", "foo:bar"}, "'foo:' is no kind of selector"},
        {{"--slot", "a=b=path:*"}, "a slot has one name"},
        {{"--slot", "path:[abc"}, "the '[' has no ']'"},
        {{"--slot", "a=path:*usb-0:1.*", "--slot", "b=path:*usb-0:1.1:*"}, "this slot can never take a port"},
        {{"--slot", "COM1", "--dev-dir", (bench.root / "none").string()}, "none: no such folder"},
        {{"--slot", "COM1", "--dev-dir", file}, "a-file: not a folder"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args{"station", bench.image};
        args.insert(args.end(), c.args.begin(), c.args.end());
        if (std::find(args.begin(), args.end(), "--dev-dir") == args.end()) {
            args.insert(args.end(), {"--dev-dir", bench.dev.string()});
        }
        const std::string out = (bench.root / "station.out").string();
        Program station(args, out);
        EXPECT_EQ(station.wait(std::chrono::seconds(30)), Exit::usage) << c.why;
        EXPECT_THAT(slurp(out), HasSubstr(c.why));
        EXPECT_THAT(slurp(out), testing::Not(HasSubstr("watching"))) << c.why;
    }
}

// A station whose records could not all be written ends with the file status, whatever else went
// well, and prints what it could not write.
TEST(StationProgram, ARecordNotWrittenEndsWithTheFileStatus) {
    Bench bench;
    const fs::path folder = bench.root / "records";
    fs::create_directories(folder);
    const std::string records = (folder / "line.jsonl").string();
    const std::string stationOut = (bench.root / "station.out").string();
    Program station({"station", bench.image, "--slot", "A=" + bench.selector(1), "--dev-dir",
                     bench.dev.string(), "--no-speed-switch", "--record", records, "--settle-ms", "0"},
                    stationOut);
    ASSERT_TRUE(eventually([&] { return slurp(stationOut).find("watching") != std::string::npos; }, 20000ms))
        << slurp(stationOut);
    fs::remove_all(folder);
    const std::string simOut = (bench.root / "sim.out").string();
    Program board({"sim", "--link-path", bench.socket(1), "--erase-time-ms", "20"}, simOut);
    ASSERT_TRUE(eventually(
        [&] { return slurp(stationOut).find("a record was not written") != std::string::npos; }, 30000ms))
        << slurp(stationOut);
    station.signal(SIGINT);
    EXPECT_EQ(station.wait(std::chrono::seconds(60)), Exit::file);
    const std::string out = slurp(stationOut);
    EXPECT_THAT(out, HasSubstr(": updated: "));
    EXPECT_THAT(out, HasSubstr("a record that could not be written: {"));
    EXPECT_THAT(out, HasSubstr("1 record(s) not written"));
}

// An image the station cannot use at the start is said in the words of the image check, with the
// news that the station stops.
TEST(StationProgram, AnUnusableImageAtTheStartIsSaidInTheImageChecksWords) {
    Bench bench;
    const std::string folder = (bench.root / "a-folder").string();
    fs::create_directories(folder);
    const struct {
        std::string image;
        const char* words;
    } cases[] = {{folder, "a directory: name the firmware image file itself"},
                 {(bench.root / "missing.hex").string(), "cannot open the file: check the path"}};
    for (const auto& c : cases) {
        const std::string out = (bench.root / "station.out").string();
        Program station(
            {"station", c.image, "--slot", "A=" + bench.selector(1), "--dev-dir", bench.dev.string()}, out);
        EXPECT_EQ(station.wait(std::chrono::seconds(30)), Exit::file) << c.image;
        EXPECT_THAT(slurp(out), HasSubstr("cannot be used: " + std::string(c.words) + "; the station stops"));
        EXPECT_THAT(slurp(out), testing::Not(HasSubstr("no new devices until")));
    }
}

} // namespace

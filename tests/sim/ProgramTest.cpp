#include "BuiltPaths.h"
#include "Rig.h"
#include "sim/SimOptions.h"
#include "vtc880/CodeNames.h"

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vtc880;

extern char** environ;

namespace simtest {
namespace {

struct CodeCase {
    std::string text;
    std::optional<std::uint16_t> code;
};

TEST(SimOptions, ParseCommandCodesByNameOrHexadecimal) {
    const std::vector<CodeCase> cases{{"EraseTimeQuery", Code::EraseTimeQuery},
                                      {"erasetimequery", Code::EraseTimeQuery},
                                      {"Handshake", Code::Handshake},
                                      {"Finish", Code::Finish},
                                      {"0x5046", Code::ProgramChunk},
                                      {"5646", Code::VerifyChunk},
                                      {"0XFFFF", 0xFFFF},
                                      {"4146", Code::EraseAll},
                                      {"", std::nullopt},
                                      {"0x", std::nullopt},
                                      {"0x12345", std::nullopt},
                                      {"Erase", std::nullopt},
                                      {"0xG1", std::nullopt},
                                      {"-1", std::nullopt}};
    for (const CodeCase& c : cases)
        EXPECT_EQ(parseCode(c.text), c.code) << '"' << c.text << '"';
}

TEST(SimOptions, SetEveryConfigField) {
    CLI::App app;
    sim::Config config;
    sim::addSimOptions(app, config);
    const std::vector<std::string> args{"--erase-time-ms",
                                        "-7",
                                        "--erase-actual-ms",
                                        "900",
                                        "--line-model",
                                        "--initial-speed",
                                        "921600",
                                        "--silent",
                                        "--silent-on",
                                        "EraseTimeQuery",
                                        "--wrong-command-on",
                                        "0x4454",
                                        "--bad-checksum-on",
                                        "verifychunk",
                                        "--noise-between-frames",
                                        "--split-reply-pause-ms",
                                        "30",
                                        "--error-on-erase",
                                        "--error-on-chunk",
                                        "4",
                                        "--hang-up-after",
                                        "6",
                                        "--short-erase-time-ack",
                                        "--reply-delay-ms",
                                        "12",
                                        "--link-path",
                                        "/tmp/vtc"};
    std::vector<std::string> reversed(args.rbegin(), args.rend()); // CLI11 takes them last first
    ASSERT_NO_THROW(app.parse(reversed));
    EXPECT_EQ(config.eraseTimeMs, -7);
    EXPECT_EQ(config.eraseActualMs, 900);
    EXPECT_TRUE(config.lineModel);
    EXPECT_EQ(config.initialSpeed, 921600);
    EXPECT_TRUE(config.silent);
    EXPECT_EQ(config.silentOn, Code::EraseTimeQuery);
    EXPECT_EQ(config.wrongCommandOn, Code::Handshake);
    EXPECT_EQ(config.badChecksumOn, Code::VerifyChunk);
    EXPECT_TRUE(config.noiseBetweenFrames);
    EXPECT_EQ(config.splitReplyPauseMs, 30);
    EXPECT_TRUE(config.errorOnErase);
    EXPECT_EQ(config.errorOnChunk, 4);
    EXPECT_EQ(config.hangUpAfterChunks, 6);
    EXPECT_TRUE(config.shortEraseTimeAck);
    EXPECT_EQ(config.replyDelayMs, 12);
    EXPECT_EQ(config.linkPath, "/tmp/vtc");
}

TEST(SimOptions, RefuseValuesTheDeviceCannotTake) {
    const std::vector<std::vector<std::string>> refused{{"--silent-on", "Erase"},
                                                        {"--initial-speed", "12345"},
                                                        {"--initial-speed", "fast"},
                                                        {"--reply-delay-ms", "-1"},
                                                        {"--error-on-chunk", "-2"}};
    for (const std::vector<std::string>& args : refused) {
        CLI::App app;
        sim::Config config;
        sim::addSimOptions(app, config);
        std::vector<std::string> reversed(args.rbegin(), args.rend());
        EXPECT_THROW(app.parse(reversed), CLI::ParseError) << args[0] << ' ' << args[1];
    }
}

TEST(SimulatedDeviceStart, RefusesASpeedTheLineCannotTake) {
    sim::Config config;
    config.initialSpeed = 12345;
    sim::SimulatedDevice device(config);
    EXPECT_FALSE(device.start());
    EXPECT_NE(device.startError().find("12345"), std::string::npos);
}

class LinkPath : public testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/vtc880-sim-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        dir = pattern;
    }
    void TearDown() override { std::filesystem::remove_all(dir); }
    std::filesystem::path dir;
};

TEST_F(LinkPath, ReplacesWhatIsThereAndGoesOnStop) {
    const std::filesystem::path link = dir / "vtc880";
    {
        std::FILE* f = std::fopen(link.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    sim::Config config;
    config.linkPath = link;
    sim::SimulatedDevice device(config);
    ASSERT_TRUE(device.start()) << device.startError();
    ASSERT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(std::filesystem::read_symlink(link), device.portPath());
    SlavePort port(link);
    EXPECT_TRUE(port.isOpen());
    device.stop();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
}

TEST_F(LinkPath, InAMissingDirectoryFailsTheStart) {
    sim::Config config;
    config.linkPath = dir / "missing" / "vtc880";
    sim::SimulatedDevice device(config);
    EXPECT_FALSE(device.start());
    EXPECT_FALSE(device.startError().empty());
}

// The vtc880-sim program, run as a person would run it.
class SimProgram : public LinkPath {
  protected:
    bool launch(std::vector<std::string> args) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return false;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        args.insert(args.begin(), built::simProgram());
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const int spawned = ::posix_spawn(&pid, built::simProgram(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        output = out[0];
        return spawned == 0;
    }
    std::string firstLine() {
        std::string line;
        char c;
        pollfd p{output, POLLIN, 0};
        while (::poll(&p, 1, 5000) > 0 && ::read(output, &c, 1) == 1 && c != '\n')
            line += c;
        return line;
    }
    int finish(int signal) {
        ::kill(pid, signal);
        int status = 0;
        ::waitpid(pid, &status, 0);
        pid = -1;
        return status;
    }
    void TearDown() override {
        if (pid > 0)
            finish(SIGKILL);
        if (output >= 0)
            ::close(output);
        LinkPath::TearDown();
    }
    pid_t pid = -1;
    int output = -1;
};

TEST_F(SimProgram, PrintsItsPortAnswersAndStopsCleanlyOnSignal) {
    const std::filesystem::path link = dir / "port";
    ASSERT_TRUE(launch({"--erase-time-ms", "0", "--silent-on", "EraseTimeQuery", "--link-path", link}));
    const std::string port = firstLine();
    ASSERT_EQ(port.rfind("/dev/pts/", 0), 0u) << port;
    EXPECT_EQ(std::filesystem::read_symlink(link), port);

    {
        SlavePort slave(link);
        ASSERT_TRUE(slave.isOpen());
        slave.write("FIRMWAREUPDATE\r$KQ-");
        Bytes answer;
        ASSERT_TRUE(eventually([&] {
            slave.write(commandFrame(Code::Handshake));
            answer = slave.readReply(100ms).frame;
            return !answer.empty();
        }));
        EXPECT_EQ(answer, ackFrame);
        slave.write(commandFrame(Code::EraseTimeQuery));
        EXPECT_TRUE(slave.readFor(300ms).empty()) << "--silent-on was not applied";
    }

    for (const int signal : {SIGTERM, SIGINT}) {
        if (signal == SIGINT) {
            ASSERT_TRUE(launch({"--link-path", link}));
            ASSERT_FALSE(firstLine().empty());
        }
        const int status = finish(signal);
        ASSERT_TRUE(WIFEXITED(status)) << "signal " << signal;
        EXPECT_EQ(WEXITSTATUS(status), 0);
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link)));
    }
}

TEST_F(SimProgram, RefusesABadOption) {
    ASSERT_TRUE(launch({"--silent-on", "Nonsense"}));
    int status = 0;
    ::waitpid(pid, &status, 0);
    pid = -1;
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 0);
    EXPECT_TRUE(firstLine().empty());
}

} // namespace
} // namespace simtest

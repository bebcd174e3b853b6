#include "BuiltPaths.h"
#include "RunTool.h"
#include "ToolImage.h"
#include "link/RS232.h"
#include "sim/SimulatedDevice.h"
#include "vtc880/ImageFile.h"
#include "vtc880/Json.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace vtc880;

namespace {

using testing::HasSubstr;
using testing::Not;

// The image every case sends: the version block, a 250-byte block and an odd-sized one.
class DeviceCommand : public testing::Test {
  protected:
    TempDir dir;
    void SetUp() override { ASSERT_TRUE(writeToolImage("fw.hex")); }
};

struct ToolCase {
    const char* name;
    std::string arguments;
    int status;
    std::string message;
};

void PrintTo(const ToolCase& c, std::ostream* out) {
    *out << c.name;
}

class DeviceCommandCase : public DeviceCommand, public testing::WithParamInterface<ToolCase> {};

// Each way a job can end has its exit status and a message that says what happened and what to do.
TEST_P(DeviceCommandCase, EndsWithItsStatusAndMessage) {
    const ToolCase& c = GetParam();
    const ToolRun run = runTool(c.arguments);
    EXPECT_EQ(run.status, c.status) << run.out << run.err;
    EXPECT_THAT(run.out + run.err, HasSubstr(c.message));
    EXPECT_EQ(run.out.find('\r'), std::string::npos) << "plain lines when the output is not a terminal";
}

const std::string fast = " --simulate --no-speed-switch --erase-time-ms 50";

INSTANTIATE_TEST_SUITE_P(
    Cases, DeviceCommandCase,
    testing::Values(
        ToolCase{"updateWithVerify", "update fw.hex --simulate --verify --line-model", 0,
                 "simulated: updated"},
        ToolCase{"verifyAnUnprogrammedDevice", "verify fw.hex" + fast, 8,
                 "FAILED (verify failed): the device's memory differs from the image at block 1 of 3, word "
                 "0x50002, bytes 0..3 of the block; nothing was erased"},
        ToolCase{"erase", "erase" + fast, 0, "simulated: erased"},
        ToolCase{"silentDevice", "update fw.hex" + fast + " --silent", 5,
                 "the device does not answer: check the link choice (--link rs232 for a serial cable, --link "
                 "usb for the USB link), the cable, and that the device is powered; nothing was erased: the "
                 "device still holds its firmware"},
        ToolCase{"eraseRefused", "update fw.hex" + fast + " --error-on-erase", 6,
                 "FAILED (erase failed): the device did not complete the erase; the erase was sent but did "
                 "not complete: the device may no longer hold working firmware; run the update again"},
        ToolCase{"eraseTimeQueryUnanswered", "update fw.hex" + fast + " --silent-on EraseTimeQuery", 5,
                 "FAILED (no answer): the device stopped answering during the erase; nothing was erased"},
        // After the version block and the first chunk of the next block: 104 bytes, the last at word
        // 0x100 + 99 / 2.
        ToolCase{"chunkRefused", "update fw.hex" + fast + " --error-on-chunk 2", 7,
                 "FAILED (programming failed): programming stopped: the device refused a chunk or did not "
                 "answer it in time; the device holds only part of the new firmware (104 of 555 bytes, up "
                 "to word 0x131): run the update again before using it"},
        ToolCase{"portLostMidway", "update fw.hex" + fast + " --hang-up-after 3", 4,
                 "FAILED (port lost): the port went away (unplugged?) during the programming; the device "
                 "holds only part of the new firmware (204 of 555 bytes"},
        // The third chunk: the second of the 250-byte block.
        ToolCase{
            "cellThatDoesNotHold", "update fw.hex --verify" + fast + " --corrupt-chunk 2", 8,
            "the device's memory differs from the image at block 2 of 3 (SOURCE_1 of its recipe), word "
            "0x132, bytes 100..199 of the block; Finish was not sent; the device holds the whole image but "
            "the update was not finished"},
        ToolCase{"missingPort", "update fw.hex --no-speed-switch --port /dev/vtc880-no-such-port", 4,
                 "no such port"},
        ToolCase{"missingImage", "update missing.hex --simulate", 3, "missing.hex: cannot open the file"},
        ToolCase{"noPort", "update fw.hex", 2, "--port"}),
    [](const testing::TestParamInfo<ToolCase>& info) { return std::string(info.param.name); });

TEST_F(DeviceCommand, UpdateLeavesTheImageInTheDevice) {
    // Through a device in another process, as on a production line: the tool only knows the port.
    sim::Config config;
    config.eraseTimeMs = 50;
    sim::SimulatedDevice device(config);
    ASSERT_TRUE(device.start());
    const ToolRun run = runTool("update fw.hex --verify --port " + device.portPath());
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    // Finish awaits no reply: the device may still be reading it when the tool has ended.
    for (int wait = 0; wait < 500 && !device.finished(); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(device.finished());
    FileCopy image;
    ASSERT_EQ(firmwareExtract("fw.hex", image), 0);
    for (int b = 0; b < image.count; ++b) {
        const FileBlock& block = image.blocks[b];
        EXPECT_EQ(device.memory(block.address, block.size), blockBytes(block)) << "block " << b;
    }
}

TEST_F(DeviceCommand, BusyPortNamesTheProcessThatHoldsIt) {
    sim::SimulatedDevice device;
    ASSERT_TRUE(device.start());
    RS232 holder(device.portPath(), 115200);
    ASSERT_FALSE(holder.error);
    const ToolRun run = runTool("update fw.hex --no-speed-switch --port " + device.portPath());
    EXPECT_EQ(run.status, 4);
    EXPECT_THAT(run.err + run.out, HasSubstr("held by process " + std::to_string(getpid())));
}

TEST_F(DeviceCommand, TwoDevicesAtOnceEachWithItsOwnResult) {
    const ToolRun run = runTool("update fw.hex --port A --port B" + fast + " --corrupt-chunk 1 --verify");
    // Both simulated devices share the fault: each fails on its own, with its own line.
    EXPECT_EQ(run.status, 8);
    EXPECT_THAT(run.out, HasSubstr("A: FAILED (verify failed)"));
    EXPECT_THAT(run.out, HasSubstr("B: FAILED (verify failed)"));

    const ToolRun good = runTool("update fw.hex --port A --port B" + fast);
    EXPECT_EQ(good.status, 0) << good.out << good.err;
    EXPECT_THAT(good.out, HasSubstr("A: updated"));
    EXPECT_THAT(good.out, HasSubstr("B: updated"));
}

// JSON for programs: the start first, then the run's events with their phase and block, the result
// with the port, the outcome class, the exit code and the device state, the summary last. Progress
// comes at most once per percent and block; the window's status texts do not come once per chunk.
TEST_F(DeviceCommand, JsonEventsInOrderAndThrottled) {
    ASSERT_TRUE(writeToolImage("big.hex", 30000)); // 302 chunks
    const ToolRun run = runTool("--json update big.hex --verify" + fast);
    EXPECT_EQ(run.status, 0) << run.err;
    std::istringstream lines(run.out);
    std::vector<std::string> kinds;
    std::map<std::string, int> progressPerPhase;
    int statuses = 0;
    for (std::string line; std::getline(lines, line);) {
        const Json event = Json::parse(line);
        kinds.push_back(event.at("event"));
        if (kinds.back() == "progress") {
            ++progressPerPhase[event.at("phase")];
            EXPECT_THAT(line, HasSubstr("\"port\":\"simulated\""));
        }
        statuses += kinds.back() == "status" ? 1 : 0;
    }
    ASSERT_GE(kinds.size(), 3u);
    EXPECT_EQ(kinds.front(), "start");
    EXPECT_EQ(kinds[kinds.size() - 2], "result");
    EXPECT_EQ(kinds.back(), "summary");
    EXPECT_THAT(progressPerPhase, testing::ElementsAre(testing::Pair("erase", testing::Le(101)),
                                                       testing::Pair("programming", testing::Le(104)),
                                                       testing::Pair("verify", testing::Le(104))));
    EXPECT_LT(statuses, 100);
    EXPECT_THAT(run.out, HasSubstr("{\"event\":\"result\",\"port\":\"simulated\",\"operation\":\"update\","
                                   "\"ok\":true,\"outcome\":\"succeeded\",\"exit\":0,\"state\":\"updated\""));
    EXPECT_THAT(run.out,
                HasSubstr("\"phase\":\"programming\",\"done\":30254,\"total\":30254,\"unit\":\"bytes\","
                          "\"percent\":100,\"block\":3,\"blocks\":3"));
    EXPECT_THAT(run.out, Not(HasSubstr("Click OK")));
    EXPECT_THAT(run.err, HasSubstr("simulated: updated")) << "text for people goes to standard error";
}

// With several ports, the exit status is that of the first failing port on the command line, not of
// the first to fail: here the device named first fails later (a refused chunk after the erase) than
// the second (silent from the start).
TEST_F(DeviceCommand, ExitStatusIsTheFirstFailingPortOnTheCommandLine) {
    sim::Config refuses;
    refuses.initialSpeed = 115200;
    refuses.eraseTimeMs = 500;
    refuses.errorOnChunk = 2;
    sim::Config silent;
    silent.silent = true;
    sim::SimulatedDevice first(refuses);
    sim::SimulatedDevice second(silent);
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(second.start());
    const ToolRun run = runTool("update fw.hex --no-speed-switch --port " + first.portPath() + " --port " +
                                second.portPath());
    EXPECT_EQ(run.status, 7) << run.out << run.err;
    const std::size_t firstResult = run.out.find(first.portPath() + ": FAILED (programming failed)");
    const std::size_t secondResult = run.out.find(second.portPath() + ": FAILED (no answer)");
    ASSERT_NE(firstResult, std::string::npos) << run.out;
    ASSERT_NE(secondResult, std::string::npos) << run.out;
    EXPECT_LT(firstResult, secondResult) << "results in the order of the command line";
    EXPECT_THAT(run.out, HasSubstr("2 devices: 0 updated, 2 failed (" + first.portPath() + ", " +
                                   second.portPath() + "); exit status 7\n"));
}

TEST_F(DeviceCommand, InterruptStopsPromptlyWithItsStatus) {
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(pipeEnds[1], STDOUT_FILENO);
        close(pipeEnds[0]);
        execl(built::tool(), built::tool(), "update", "fw.hex", "--simulate", "--no-speed-switch",
              "--erase-time-ms", "60000", nullptr);
        _exit(127);
    }
    close(pipeEnds[1]);
    std::string out;
    char buffer[256];
    ssize_t got = 0;
    while (out.find("erase: the device announces 60.0 s") == std::string::npos &&
           (got = read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
        out.append(buffer, std::size_t(got));
    }
    ASSERT_THAT(out, HasSubstr("erase: the device announces"));
    const auto sent = std::chrono::steady_clock::now();
    kill(child, SIGINT);
    while ((got = read(pipeEnds[0], buffer, sizeof buffer)) > 0) {
        out.append(buffer, std::size_t(got));
    }
    int status = 0;
    waitpid(child, &status, 0);
    close(pipeEnds[0]);
    EXPECT_LT(std::chrono::steady_clock::now() - sent, std::chrono::seconds(10)) << "a generous bound";
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_THAT(out, HasSubstr("FAILED (interrupted)"));
    EXPECT_THAT(out, Not(HasSubstr("updated")));
    EXPECT_THAT(out, HasSubstr("the erase was sent but did not complete")) << "what the device holds now";
}

} // namespace

namespace {

// The lines of a trace file that decode a frame, as "sent Handshake" or "received Ack", with each
// chunk's address and count.
struct TracedFrames {
    std::vector<std::string> frames;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> chunks; // ProgramChunk address, count
    std::vector<std::string> speeds;                             // of the ASCII characters sent, in order
    int invalid = 0;
};

TracedFrames readTrace(const std::string& text) {
    TracedFrames traced;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        const bool sent = line.find("  sent  ") != std::string::npos;
        const std::size_t frame = line.find(" frame ");
        if (frame == std::string::npos) {
            if (sent) {
                traced.speeds.push_back(
                    line.substr(line.find('@') + 1, line.find(' ', line.find('@')) - line.find('@') - 1));
            }
            continue;
        }
        std::istringstream words(line.substr(frame + 7));
        std::string name;
        words >> name;
        traced.frames.push_back((sent ? "sent " : "received ") + name);
        traced.invalid += line.find("checksum valid") == std::string::npos;
        unsigned address = 0;
        unsigned count = 0;
        if (name == "ProgramChunk" && std::sscanf(line.c_str() + line.find("address"),
                                                  "address 0x%x  count %u", &address, &count) == 2) {
            traced.chunks.emplace_back(address, count);
        }
    }
    return traced;
}

} // namespace

// --trace writes the whole conversation: the speed commands and the preamble at their speeds, and every
// frame of a three-block update decoded, with each chunk where it goes.
TEST_F(DeviceCommand, TraceDecodesEveryFrameOfTheUpdate) {
    const ToolRun run = runTool("update fw.hex --simulate --erase-time-ms 50 --trace trace.txt");
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    const TracedFrames traced = readTrace(slurp("trace.txt"));

    std::vector<std::string> expected = {
        "sent Handshake", "received Ack",  "sent Handshake", "received Ack",   "sent EraseTimeQuery",
        "received Ack",   "sent EraseAll", "received Ack",   "sent Handshake", "received Ack"};
    for (int chunk = 0; chunk < 8; ++chunk) {
        expected.push_back("sent ProgramChunk");
        expected.push_back("received Ack");
    }
    expected.push_back("sent Finish");
    EXPECT_EQ(traced.frames, expected);
    EXPECT_EQ(traced.invalid, 0);
    EXPECT_EQ(traced.chunks, (std::vector<std::pair<std::uint32_t, std::uint32_t>>{{0x50002, 4},
                                                                                   {0x100, 100},
                                                                                   {0x132, 100},
                                                                                   {0x164, 50},
                                                                                   {0x1000, 100},
                                                                                   {0x1032, 100},
                                                                                   {0x1064, 100},
                                                                                   {0x1096, 1}}));
    // "1BR115200\r" at the link's 19200, then "2BR115200\r" and the 19 characters of the preamble at
    // 115200.
    ASSERT_EQ(traced.speeds.size(), 10u + 10u + 19u);
    EXPECT_EQ(std::count(traced.speeds.begin(), traced.speeds.begin() + 10, "19200"), 10);
    EXPECT_EQ(std::count(traced.speeds.begin() + 10, traced.speeds.end(), "115200"), 29);
    std::remove("trace.txt");
}

TEST_F(DeviceCommand, TraceFileThatCannotBeWrittenIsAFileError) {
    const ToolRun run = runTool("update fw.hex --simulate --trace /nonexistent-folder/trace.txt");
    EXPECT_EQ(run.status, 3);
    EXPECT_THAT(run.err, HasSubstr("/nonexistent-folder/trace.txt: cannot write the trace"));
}

#include "StationRig.h"
#include "vtc880/ExitStatus.h"

#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vtc880;

namespace {

namespace fs = std::filesystem;

// A slot that names its port takes it as one chosen by a socket does: a built-in COM port is no port
// that a listing of USB adapters finds. The board's port appears under the folder that stands for
// /dev as `plugged` (a link to its pseudo-terminal); "PTY" in a slot stands for that pseudo-terminal.
struct TakenCase {
    const char* name;
    const char* plugged; // under the bench's dev folder
    const char* slot;
    bool usb = false; // the port hangs from a USB adapter 0403:6001 with serial number A5TEST in sysfs
};

// What sysfs shows of a USB adapter whose tty is the pseudo-terminal `pty`: its ids and serial number.
void fakeUsbAdapter(const fs::path& sys, const std::string& pty) {
    const std::string tty = fs::path(pty).filename().string();
    const fs::path usb = sys / "devices" / "usb1" / "1-1";
    fs::create_directories(usb / "1-1:1.0" / tty);
    std::ofstream(usb / "idVendor") << "0403\n";
    std::ofstream(usb / "idProduct") << "6001\n";
    std::ofstream(usb / "serial") << "A5TEST\n";
    fs::create_directories(sys / "class" / "tty" / tty);
    fs::create_symlink(usb / "1-1:1.0" / tty, sys / "class" / "tty" / tty / "device");
}

class SlotsTake : public testing::TestWithParam<TakenCase> {};

TEST_P(SlotsTake, TheirBoard) {
    const TakenCase& c = GetParam();
    Bench bench;
    sim::Config config;
    config.eraseTimeMs = 20;
    config.linkPath = (bench.dev / c.plugged).string();
    sim::SimulatedDevice board(config);
    ASSERT_TRUE(board.start()) << board.startError();
    std::string text = c.slot;
    if (const std::size_t at = text.find("PTY"); at != std::string::npos) {
        text.replace(at, 3, board.portPath());
    }
    if (const std::size_t at = text.find("DEV"); at != std::string::npos) {
        text.replace(at, 3, bench.dev.string());
    }
    StationSettings settings = bench.settings({});
    if (c.usb) {
        settings.roots.sys = (bench.root / "sys").string();
        fakeUsbAdapter(settings.roots.sys, board.portPath());
    }
    std::string problem;
    settings.slots = parseSlots({text}, settings.roots.dev, problem);
    ASSERT_EQ(problem, "") << text;

    RecordingReport report;
    StationRun run(settings, report);
    ASSERT_TRUE(report.waitFor([&] { return report.results().size() == 1; }))
        << text << " never took its port";
    run.requestStop();
    EXPECT_EQ(run.join(), Exit::ok);
    EXPECT_EQ(report.results()[0].result.outcome, Outcome::succeeded) << report.results()[0].text;
    EXPECT_TRUE(holdsTestImage(board, 0));
    EXPECT_FALSE(report.seen("notice slot")) << "a slot whose port is there is not waiting";
}

INSTANTIATE_TEST_SUITE_P(
    Station, SlotsTake,
    testing::Values(
        TakenCase{"comName", "ttyS0", "COM1"}, TakenCase{"comNameInLowerCase", "ttyS2", "com3"},
        TakenCase{"namedComName", "ttyS0", "left=COM1"}, TakenCase{"kernelName", "ttyS1", "ttyS1"},
        TakenCase{"usbKernelName", "ttyUSB3", "ttyUSB3"},
        TakenCase{"pathUnderTheFolder", "ttyS0", "DEV/ttyS0"}, TakenCase{"pseudoTerminal", "ttyS4", "PTY"},
        TakenCase{"socket", "serial/by-path/pci-0000:00:14.0-usb-0:1.1:1.0-port0", "A=path:*usb-0:1.1:*"},
        TakenCase{"usbIdentity", "ttyUSB5", "usb:0403:6001", true},
        TakenCase{"usbIdentityAndSerial", "ttyUSB5", "A=usb:403:6001:A5TEST", true}),
    [](const testing::TestParamInfo<TakenCase>& info) { return info.param.name; });

// A slot whose port is not there yet is no fault: the station says that it waits for it.
TEST(Station, SaysWhichSlotsWaitForTheirPort) {
    Bench bench;
    StationSettings settings = bench.settings({{"A", 1}});
    RecordingReport report;
    StationRun run(settings, report);
    ASSERT_TRUE(report.waitFor([&] { return report.seen("notice slot A: no port matches"); }));
    run.requestStop();
    EXPECT_EQ(run.join(), Exit::ok);
}

// The slots that can never take a port are refused before anything is watched, each naming why.
TEST(Station, RefusesSlotsThatCanNeverTakeAPort) {
    struct Case {
        std::vector<std::string> slots;
        const char* why;
    };
    const Case cases[] = {
        {{"foo:bar"}, "foo:bar: 'foo:' is no kind of selector"},
        {{"a=b=path:*"}, "a=b=path:*: a slot has one name"},
        {{"path:[abc"}, "path:[abc: the '[' has no ']'"},
        {{"a=path:[abc"}, "slot a: path:[abc: the '[' has no ']'"},
        {{"usb:zz"}, "expected usb:VID:PID"},
        {{"a=path:*usb-0:1.*", "b=path:*usb-0:1.1:*"},
         "b=path:*usb-0:1.1:*: this slot can never take a port: "
         "slot a (path:*usb-0:1.*) comes first"},
        {{"COM1", "x=ttyS0"}, "x=ttyS0: this slot can never take a port: slot COM1"},
        {{"usb:0403:6001", "usb:0403:6001:A50285BI"}, "slot usb:0403:6001 comes first"},
        {{"a=COM1", "a=COM2"}, "a: two slots have this name"},
    };
    for (const Case& c : cases) {
        std::string problem;
        EXPECT_TRUE(parseSlots(c.slots, "/dev", problem).empty());
        EXPECT_THAT(problem, testing::HasSubstr(c.why)) << c.slots.front();
    }
    // Slots that share some ports but not all are fine: a port goes to the first that matches.
    std::string problem;
    EXPECT_EQ(parseSlots({"a=path:*usb-0:1.1:*", "b=path:*usb-0:1.*", "c=COM1", "d=COM2", "usb:0403:6001:A5",
                          "usb:0403:6001"},
                         "/dev", problem)
                  .size(),
              6u)
        << problem;
}

} // namespace

#include "link/RS232.h"

#include "PseudoTerminal.h"
#include "common/TempDirectory.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <memory>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace vtc880;

namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

// Reads until `count` bytes came or a read brings nothing.
Bytes readFromPort(RS232& port, std::size_t count) {
    Bytes got;
    while (got.size() < count) {
        std::uint8_t buffer[256];
        std::uint32_t n = 0;
        if (port.read(buffer, std::uint32_t(std::min(sizeof buffer, count - got.size())), &n) == 0 || n == 0)
            break;
        got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

// A stand-in for sysfs with the pseudo-terminal's tty, as sysfs shows a USB adapter's:
// class/tty/<tty>/device/latency_timer holding `timer` (no such file when `timer` is empty).
class FakeSysfs {
  public:
    FakeSysfs(const PseudoTerminal& pty, const std::string& timer)
        : dir(makeTempDirectory("vtc880-sysfs-")),
          file(dir / "class" / "tty" / std::filesystem::path(pty.portPath()).filename() / "device" /
               "latency_timer") {
        std::filesystem::create_directories(file.parent_path());
        if (!timer.empty())
            std::ofstream(file) << timer;
    }
    ~FakeSysfs() {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    FakeSysfs(const FakeSysfs&) = delete;
    FakeSysfs& operator=(const FakeSysfs&) = delete;

    std::string root() const { return dir.string(); }
    const std::filesystem::path& timerFile() const { return file; }
    std::string timer() const {
        std::ifstream in(file);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

  private:
    std::filesystem::path dir;
    std::filesystem::path file;
};

// Runs `body` on a thread of its own that file permissions bind, even when the tests run as root
// (CAP_DAC_OVERRIDE dropped for that thread alone).
template <typename Body> void boundByFilePermissions(Body body) {
    std::thread bound([&] {
        __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
        __user_cap_data_struct caps[_LINUX_CAPABILITY_U32S_3]{};
        if (::syscall(SYS_capget, &header, caps) == 0) {
            caps[0].effective &= ~(1u << CAP_DAC_OVERRIDE);
            ::syscall(SYS_capset, &header, caps);
        }
        body();
    });
    bound.join();
}

struct PathCase {
    const char* name;
    std::string portName;
    std::string path;
};

class DevicePath : public testing::TestWithParam<PathCase> {};

TEST_P(DevicePath, MapsPortNames) {
    EXPECT_EQ(devicePathFor(GetParam().portName), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(
    Names, DevicePath,
    testing::Values(PathCase{"com1", "COM1", "/dev/ttyS0"}, PathCase{"com10", "COM10", "/dev/ttyS9"},
                    PathCase{"lowerCase", "com1", "/dev/ttyS0"}, PathCase{"mixedCase", "Com3", "/dev/ttyS2"},
                    PathCase{"com256", "COM256", "/dev/ttyS255"}, PathCase{"comZero", "COM0", "/dev/COM0"},
                    PathCase{"comLeadingZero", "COM01", "/dev/COM01"},
                    PathCase{"comAlone", "COM", "/dev/COM"}, PathCase{"comSuffix", "COM1a", "/dev/COM1a"},
                    PathCase{"comNegative", "COM-1", "/dev/COM-1"},
                    PathCase{"comOverflow", "COM99999999999999999999", "/dev/COM99999999999999999999"},
                    PathCase{"usbAdapter", "ttyUSB0", "/dev/ttyUSB0"},
                    PathCase{"absolutePath", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0",
                             "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"},
                    PathCase{"relativePath", "./port", "./port"},
                    PathCase{"longestBareName", std::string(27, 'x'), "/dev/" + std::string(27, 'x')},
                    PathCase{"bareNameTooLong", std::string(28, 'x'), ""}, PathCase{"empty", "", ""},
                    PathCase{"nulInside", std::string("ttyS0\0/x", 8), ""},
                    PathCase{"pathTooLong", "/" + std::string(PATH_MAX, 'x'), ""}),
    [](const testing::TestParamInfo<PathCase>& info) { return std::string(info.param.name); });

struct OpenFailure {
    const char* name;
    std::string portName;
    PortError cause;
    int systemError;
};

class FailedOpen : public testing::TestWithParam<OpenFailure> {};

// Whatever made the open fail: the cause is kept, no descriptor stays behind, and the object is inert.
TEST_P(FailedOpen, KeepsTheCauseLeaksNothingAndDoesNoIO) {
    const OpenFailure& c = GetParam();
    const std::size_t descriptors = openDescriptorCount();
    {
        RS232 port(c.portName, 115200);
        EXPECT_TRUE(port.error);
        EXPECT_EQ(port.cause(), c.cause);
        EXPECT_EQ(port.systemError(), c.systemError);
        EXPECT_FALSE(port.lost());

        std::uint8_t buffer[4] = {1, 2, 3, 4};
        std::uint32_t got = 1234, written = 5678;
        EXPECT_EQ(port.read(buffer, sizeof buffer, &got), 0);
        EXPECT_EQ(got, 1234u);
        EXPECT_EQ(port.write(buffer, sizeof buffer, &written), 0);
        EXPECT_EQ(written, 5678u);
        port.purge();
        port.timeOut(1);
    }
    EXPECT_EQ(openDescriptorCount(), descriptors);
}

INSTANTIATE_TEST_SUITE_P(
    Causes, FailedOpen,
    testing::Values(OpenFailure{"empty", "", PortError::badName, 0},
                    OpenFailure{"bareNameTooLong", std::string(28, 'x'), PortError::badName, 0},
                    OpenFailure{"pathTooLong", "/" + std::string(PATH_MAX, 'x'), PortError::badName, 0},
                    OpenFailure{"nulInside", std::string("/dev/null\0x", 11), PortError::badName, 0},
                    OpenFailure{"missingPath", "/dev/vtc880-no-such-port", PortError::notFound, ENOENT},
                    OpenFailure{"missingBareName", "vtc880-no-such-port", PortError::notFound, ENOENT},
                    OpenFailure{"missingFolder", "/vtc880-no-such-folder/tty", PortError::notFound, ENOENT},
                    OpenFailure{"notATerminal", "/dev/null", PortError::notSerial, ENOTTY},
                    OpenFailure{"folder", "/dev", PortError::other, EISDIR}),
    [](const testing::TestParamInfo<OpenFailure>& info) { return std::string(info.param.name); });

TEST(RS232Open, PortTheUserMayNotOpenIsPermissionDenied) {
    PseudoTerminal pty;
    ASSERT_EQ(::chmod(pty.portPath().c_str(), 0), 0);
    boundByFilePermissions([&] {
        const int probe = ::open(pty.portPath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (probe >= 0) {
            ::close(probe);
            GTEST_SKIP() << "running with the right to open any file";
        }
        RS232 port(pty.portPath(), 115200);
        EXPECT_TRUE(port.error);
        EXPECT_EQ(port.cause(), PortError::permissionDenied);
        EXPECT_EQ(port.systemError(), EACCES);
    });
}

// Whether the tty is in exclusive mode, seen through a descriptor of our own. Without the right to pass
// exclusive mode the probe's open itself is refused, which answers the question too.
bool ttyExclusive(const std::string& path) {
    const int probe = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (probe < 0)
        return errno == EBUSY;
    int exclusive = 0;
    ::ioctl(probe, TIOCGEXCL, &exclusive);
    ::close(probe);
    return exclusive != 0;
}

TEST(RS232Exclusive, SecondOpenFromThisProcessIsBusyUntilTheFirstIsGone) {
    PseudoTerminal pty;
    const std::size_t descriptors = openDescriptorCount();
    auto first = std::make_unique<RS232>(pty.portPath(), 115200);
    ASSERT_FALSE(first->error);
    EXPECT_TRUE(ttyExclusive(pty.portPath()));
    {
        RS232 second(pty.portPath(), 115200);
        EXPECT_TRUE(second.error);
        EXPECT_EQ(second.cause(), PortError::busy);
        EXPECT_NE(second.systemError(), 0);
    }
    // The refused open must leave the holder's exclusive mode and line alone.
    EXPECT_TRUE(ttyExclusive(pty.portPath()));
    EXPECT_TRUE(RS232(pty.portPath(), 115200).error);
    std::uint32_t written = 0;
    EXPECT_NE(first->write("x", 1, &written), 0);
    EXPECT_EQ(pty.take(1), Bytes{'x'});

    first.reset();
    EXPECT_EQ(openDescriptorCount(), descriptors);
    EXPECT_FALSE(ttyExclusive(pty.portPath())); // the flag must not outlive the close
    RS232 again(pty.portPath(), 115200);
    EXPECT_FALSE(again.error);
    EXPECT_EQ(again.cause(), PortError::none);
}

TEST(RS232Exclusive, PortHeldByAnotherProcessIsBusy) {
    PseudoTerminal pty;
    int ready[2], release[2];
    ASSERT_EQ(::pipe2(ready, O_CLOEXEC), 0);
    ASSERT_EQ(::pipe2(release, O_CLOEXEC), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::close(ready[0]);
        ::close(release[1]);
        {
            RS232 held(pty.portPath(), 115200);
            const char opened = held.error ? 'n' : 'y';
            (void)!::write(ready[1], &opened, 1);
            char end;
            (void)!::read(release[0], &end, 1); // until the parent lets go
        }
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    char opened = 0;
    ASSERT_EQ(::read(ready[0], &opened, 1), 1);
    ASSERT_EQ(opened, 'y');

    {
        RS232 port(pty.portPath(), 115200);
        EXPECT_TRUE(port.error);
        EXPECT_EQ(port.cause(), PortError::busy);
    }

    ::close(release[1]); // the child closes its port and ends
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ::close(ready[0]);
    RS232 port(pty.portPath(), 115200);
    EXPECT_FALSE(port.error);
}

TEST(RS232Line, RawEightNoneOneAtTheSpeedAskedForThenRestored) {
    const struct {
        std::int32_t rate;
        speed_t code;
    } speeds[] = {{19200, B19200}, {115200, B115200}, {921600, B921600}};
    for (const auto& speed : speeds) {
        SCOPED_TRACE(speed.rate);
        PseudoTerminal pty;
        termios cooked = pty.lineSettings();
        cooked.c_lflag |= ICANON | ECHO;
        cooked.c_oflag |= OPOST;
        cooked.c_cflag = (cooked.c_cflag | CRTSCTS | PARENB) & ~CLOCAL;
        pty.setLineSettings(cooked);
        const termios found = pty.lineSettings();
        {
            RS232 port(pty.portPath(), speed.rate);
            ASSERT_FALSE(port.error);
            EXPECT_EQ(port.baudRate(), speed.rate);
            const termios t = pty.lineSettings();
            EXPECT_EQ(cfgetospeed(&t), speed.code);
            EXPECT_EQ(cfgetispeed(&t), speed.code);
            EXPECT_EQ(t.c_cflag & CSIZE, tcflag_t(CS8));
            EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
            EXPECT_EQ(t.c_cflag & (CLOCAL | CREAD), tcflag_t(CLOCAL | CREAD));
            EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG | IEXTEN), 0u);
            EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
            EXPECT_EQ(t.c_oflag & OPOST, 0u);
            EXPECT_EQ(t.c_cc[VMIN], 0);
            EXPECT_EQ(t.c_cc[VTIME], 0);
        }
        const termios restored = pty.lineSettings();
        EXPECT_EQ(cfgetospeed(&restored), cfgetospeed(&found));
        EXPECT_EQ(restored.c_cflag, found.c_cflag);
        EXPECT_EQ(restored.c_lflag, found.c_lflag);
        EXPECT_EQ(restored.c_oflag, found.c_oflag);
    }
}

// The kernel's locked settings of a tty keep the locked bits as they were whatever tcsetattr asks, and
// tcsetattr still succeeds: what a UART driver does with a speed it cannot run. Locking needs
// CAP_SYS_ADMIN; the lock ends with the object.
class LockedLine {
  public:
    LockedLine(int master, tcflag_t cflagBits) : master(master) {
        termios lock{};
        lock.c_cflag = cflagBits;
        locked = cflagBits != 0 && ::ioctl(master, TIOCSLCKTRMIOS, &lock) == 0;
    }
    ~LockedLine() {
        if (locked) {
            termios none{};
            ::ioctl(master, TIOCSLCKTRMIOS, &none);
        }
    }
    LockedLine(const LockedLine&) = delete;
    LockedLine& operator=(const LockedLine&) = delete;
    bool locked = false;

  private:
    int master;
};

// Whether another open could take the port's lock now.
bool lockIsFree(const std::string& path) {
    const int probe = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (probe < 0)
        return false;
    const bool free = ::flock(probe, LOCK_EX | LOCK_NB) == 0;
    ::close(probe);
    return free;
}

struct Refusal {
    const char* name;
    std::int32_t rate;
    tcflag_t lockedBits; // of the line's c_cflag; 0: nothing locked
    tcflag_t stopBits;   // the line's before the open: 0 or CSTOPB (a pseudo-terminal forces 8 data bits)
    PortError cause;
};

void PrintTo(const Refusal& r, std::ostream* os) {
    *os << r.name;
}

class RefusedLine : public testing::TestWithParam<Refusal> {};

// The open gets as far as the line settings (the port exclusive, locked, its latency timer lowered)
// before the refusal: all of it must be undone, and the cause kept.
TEST_P(RefusedLine, FailsWithItsCauseAndLeavesThePortAsItFoundIt) {
    const Refusal& c = GetParam();
    PseudoTerminal pty;
    FakeSysfs sysfs(pty, "16\n");
    termios cooked = pty.lineSettings();
    cooked.c_lflag |= ICANON | ECHO;
    cooked.c_oflag |= OPOST;
    cooked.c_cflag = (cooked.c_cflag & ~CSTOPB) | c.stopBits;
    pty.setLineSettings(cooked);
    const termios found = pty.lineSettings();
    const LockedLine lock(pty.master(), c.lockedBits);
    if (c.lockedBits != 0 && !lock.locked)
        GTEST_SKIP() << "locking a tty's settings needs CAP_SYS_ADMIN";

    const std::size_t descriptors = openDescriptorCount();
    {
        RS232 port(pty.portPath(), c.rate, sysfs.root());
        EXPECT_TRUE(port.error);
        EXPECT_EQ(port.cause(), c.cause);
        EXPECT_EQ(port.systemError(), 0);
        EXPECT_EQ(port.baudRate(), c.rate);
        std::uint32_t written = 77;
        EXPECT_EQ(port.write("x", 1, &written), 0);
        EXPECT_EQ(written, 77u);
    }
    EXPECT_EQ(openDescriptorCount(), descriptors);
    const termios after = pty.lineSettings();
    EXPECT_EQ(after.c_cflag, found.c_cflag);
    EXPECT_EQ(after.c_lflag, found.c_lflag);
    EXPECT_EQ(after.c_oflag, found.c_oflag);
    EXPECT_EQ(after.c_iflag, found.c_iflag);
    EXPECT_FALSE(ttyExclusive(pty.portPath()));
    EXPECT_TRUE(lockIsFree(pty.portPath()));
    EXPECT_EQ(sysfs.timer(), "16\n");
}

INSTANTIATE_TEST_SUITE_P(
    Causes, RefusedLine,
    testing::Values(Refusal{"noSuchSpeed", 12345, 0, 0, PortError::unsupportedSpeed},
                    Refusal{"zeroSpeed", 0, 0, 0, PortError::unsupportedSpeed},
                    Refusal{"negativeSpeed", -115200, 0, 0, PortError::unsupportedSpeed},
                    // A 16550 asked for 921600 keeps the speed it had.
                    Refusal{"driverKeepsItsSpeed", 921600, CBAUD, 0, PortError::unsupportedSpeed},
                    Refusal{"driverKeepsItsFraming", 115200, CSTOPB, CSTOPB, PortError::unsupportedFraming}),
    [](const testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

struct TimerCase {
    const char* name;
    std::string before;    // what the adapter's latency_timer holds before the open
    std::string whileOpen; // and while the port is open
};

void PrintTo(const TimerCase& c, std::ostream* os) {
    *os << c.name;
}

class LatencyTimer : public testing::TestWithParam<TimerCase> {};

// Where the driver's own low-latency flag does not take (a pseudo-terminal has none), the adapter's
// timer is set to 1 ms while the port is open, and exactly the old value comes back on close.
TEST_P(LatencyTimer, IsLowWhileOpenAndBackAfterTheClose) {
    const TimerCase& c = GetParam();
    PseudoTerminal pty;
    FakeSysfs sysfs(pty, c.before);
    {
        RS232 port(pty.portPath(), 921600, sysfs.root());
        ASSERT_FALSE(port.error) << int(port.cause());
        EXPECT_EQ(sysfs.timer(), c.whileOpen);
        std::uint32_t written = 0;
        EXPECT_NE(port.write("x", 1, &written), 0);
        EXPECT_EQ(pty.take(1), Bytes{'x'});
    }
    EXPECT_EQ(sysfs.timer(), c.before);
}

INSTANTIATE_TEST_SUITE_P(
    Values, LatencyTimer,
    testing::Values(TimerCase{"ftdiDefault", "16\n", "1\n"}, TimerCase{"largest", "255\n", "1\n"},
                    TimerCase{"alreadyLow", "1\n", "1\n"},
                    // QEMU's emulated FTDI starts at 0.
                    TimerCase{"zero", "0\n", "0\n"}, TimerCase{"notANumber", "fast\n", "fast\n"},
                    TimerCase{"outOfRange", "256\n", "256\n"}, TimerCase{"negative", "-5\n", "-5\n"},
                    TimerCase{"tooLongToBeATimer", std::string(4096, '7'), std::string(4096, '7')}),
    [](const testing::TestParamInfo<TimerCase>& info) { return std::string(info.param.name); });

// A stable name (serial/by-id) is a link: the timer is the one of the tty it leads to.
TEST(LatencyTimerThroughALink, IsFoundFromTheTtyTheLinkLeadsTo) {
    PseudoTerminal pty;
    FakeSysfs sysfs(pty, "16\n");
    const std::filesystem::path link =
        std::filesystem::path(sysfs.root()) / "usb-FTDI_FT232R_USB_UART-if00-port0";
    std::filesystem::create_symlink(pty.portPath(), link);
    {
        RS232 port(link.string(), 115200, sysfs.root());
        ASSERT_FALSE(port.error);
        EXPECT_EQ(sysfs.timer(), "1\n");
    }
    EXPECT_EQ(sysfs.timer(), "16\n");
}

// A UART, a CDC-ACM port, a pseudo-terminal: no timer, and the port works as ever.
TEST(LatencyTimerAbsent, PortOpensAndNothingIsCreated) {
    PseudoTerminal pty;
    FakeSysfs sysfs(pty, "");
    {
        RS232 port(pty.portPath(), 115200, sysfs.root());
        ASSERT_FALSE(port.error);
    }
    EXPECT_FALSE(std::filesystem::exists(sysfs.timerFile()));
}

// The timer belongs to root unless a udev rule says otherwise: a user who may not write it still
// gets the port, and the timer stays as it was.
TEST(LatencyTimerRefused, PortOpensAndTheTimerIsUntouched) {
    PseudoTerminal pty;
    FakeSysfs sysfs(pty, "16\n");
    std::filesystem::permissions(sysfs.timerFile(), std::filesystem::perms::owner_read |
                                                        std::filesystem::perms::group_read |
                                                        std::filesystem::perms::others_read);
    boundByFilePermissions([&] {
        if (std::ofstream(sysfs.timerFile(), std::ios::app)) {
            GTEST_SKIP() << "this thread may still write any file";
        }
        RS232 port(pty.portPath(), 115200, sysfs.root());
        EXPECT_FALSE(port.error);
        EXPECT_EQ(sysfs.timer(), "16\n");
    });
    EXPECT_EQ(sysfs.timer(), "16\n");
}

TEST(RS232Read, NothingArrivingIsSuccessWithNoBytesAfterTheTimeOut) {
    PseudoTerminal pty;
    RS232 port(pty.portPath(), 115200);
    ASSERT_FALSE(port.error);
    const struct {
        std::uint32_t setMs; // 0: leave the time-out of a fresh port
        std::uint32_t waitMs;
    } cases[] = {{0, 100}, {250, 250}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.waitMs);
        if (c.setMs != 0)
            port.timeOut(c.setMs);
        std::uint8_t byte = 0;
        std::uint32_t got = 99;
        const auto start = Steady::now();
        EXPECT_NE(port.read(&byte, 1, &got), 0);
        EXPECT_EQ(got, 0u);
        EXPECT_FALSE(port.lost()) << "a time-out is not a lost port";
        const auto waited = Steady::now() - start;
        EXPECT_GE(waited, std::chrono::milliseconds(c.waitMs) - 10ms);
        EXPECT_LT(waited, 5s);
    }
}

TEST(RS232Read, ByteArrivingDuringTheWaitEndsIt) {
    PseudoTerminal pty;
    RS232 port(pty.portPath(), 115200);
    ASSERT_FALSE(port.error);
    port.timeOut(30000);
    std::thread device([&] {
        std::this_thread::sleep_for(50ms);
        pty.put(Bytes{0x2A});
    });
    std::uint8_t byte = 0;
    std::uint32_t got = 0;
    const auto start = Steady::now();
    EXPECT_NE(port.read(&byte, 1, &got), 0);
    device.join();
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(byte, 0x2A);
    EXPECT_LT(Steady::now() - start, 10s);
}

// Whichever call meets the hang-up first, the port is lost from then on: reads and writes fail at
// once, without waiting out the read time-out again.
TEST(RS232Lost, HangUpFailsReadsAndWritesAtOnceFromThenOn) {
    for (const bool readFirst : {true, false}) {
        SCOPED_TRACE(readFirst ? "read first" : "write first");
        PseudoTerminal pty;
        RS232 port(pty.portPath(), 115200);
        ASSERT_FALSE(port.error);
        port.timeOut(30000);
        pty.hangUp();
        std::uint8_t byte = 0;
        std::uint32_t count = 99;
        const auto start = Steady::now();
        if (readFirst) {
            EXPECT_EQ(port.read(&byte, 1, &count), 0);
        } else {
            EXPECT_EQ(port.write("x", 1, &count), 0);
        }
        EXPECT_EQ(count, 0u);
        EXPECT_TRUE(port.lost());
        for (int again = 0; again < 2; ++again) {
            count = 99;
            EXPECT_EQ(port.read(&byte, 1, &count), 0);
            EXPECT_EQ(count, 0u);
            count = 99;
            EXPECT_EQ(port.write("x", 1, &count), 0);
            EXPECT_EQ(count, 0u);
        }
        EXPECT_LT(Steady::now() - start, 10s) << "a read of the lost port waited out its time-out";
        EXPECT_EQ(port.cause(), PortError::none) << "the open itself did not fail";
    }
}

// The adapter goes away while a read waits for the device's reply: the read ends then, the port says
// it is lost, its close does not hang, and the latency timer still gets its value back.
TEST(RS232Lost, HangUpDuringAReadEndsItAndTheCloseStillRestores) {
    PseudoTerminal pty;
    FakeSysfs sysfs(pty, "16\n");
    auto port = std::make_unique<RS232>(pty.portPath(), 921600, sysfs.root());
    ASSERT_FALSE(port->error);
    EXPECT_EQ(sysfs.timer(), "1\n");
    port->timeOut(30000);
    std::thread device([&] {
        std::this_thread::sleep_for(50ms);
        pty.hangUp();
    });
    std::uint8_t byte = 0;
    std::uint32_t got = 99;
    const auto start = Steady::now();
    EXPECT_EQ(port->read(&byte, 1, &got), 0);
    device.join();
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(port->lost());
    EXPECT_LT(Steady::now() - start, 10s);

    const std::size_t descriptors = openDescriptorCount();
    port.reset();
    EXPECT_LT(Steady::now() - start, 10s) << "the close of a lost port hung";
    EXPECT_EQ(openDescriptorCount(), descriptors - 1);
    EXPECT_EQ(sysfs.timer(), "16\n");
}

TEST(RS232Transfer, EveryByteOfALargeWriteArrivesAndPurgeDropsWhatWasNotRead) {
    PseudoTerminal pty;
    RS232 port(pty.portPath(), 921600);
    ASSERT_FALSE(port.error);

    Bytes block(200000);
    for (std::size_t k = 0; k < block.size(); ++k)
        block[k] = std::uint8_t(k * 7 + k / 256);
    Bytes received;
    std::thread device([&] { received = pty.take(block.size(), 20s); });
    std::uint32_t written = 0;
    EXPECT_NE(port.write(block.data(), std::uint32_t(block.size()), &written), 0);
    device.join();
    EXPECT_EQ(written, block.size());
    EXPECT_EQ(received, block);

    pty.put("stale");
    EXPECT_EQ(readFromPort(port, 5), Bytes({'s', 't', 'a', 'l', 'e'}));
    pty.put("dropped");
    std::this_thread::sleep_for(50ms);
    port.purge();
    pty.put("fresh");
    EXPECT_EQ(readFromPort(port, 5), Bytes({'f', 'r', 'e', 's', 'h'}));
}

} // namespace

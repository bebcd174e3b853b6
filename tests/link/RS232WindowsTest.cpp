#include "link/RS232.h"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <windows.h>

using namespace vtc880;

namespace {

struct PathRow {
    std::string name;
    std::string path; // empty: refused
};
void PrintTo(const PathRow& row, std::ostream* os) {
    *os << '"' << row.name << '"';
}

class DevicePath : public testing::TestWithParam<PathRow> {};

TEST_P(DevicePath, IsTheNameInTheDeviceNamespaceOrRefused) {
    EXPECT_EQ(devicePathFor(GetParam().name), GetParam().path);
}

INSTANTIATE_TEST_SUITE_P(Names, DevicePath,
                         testing::Values(PathRow{"COM1", "\\\\.\\COM1"}, PathRow{"COM10", "\\\\.\\COM10"},
                                         PathRow{std::string(27, 'A'), "\\\\.\\" + std::string(27, 'A')},
                                         PathRow{std::string(28, 'A'), ""}, PathRow{"", ""},
                                         PathRow{std::string("COM1\0x", 6), ""}));

TEST(RS232OnWindows, MissingPortFailsWithItsCauseAndMovesNothing) {
    RS232 port("COM199", 115200);
    EXPECT_TRUE(port.error);
    EXPECT_EQ(port.cause(), PortError::notFound);
    EXPECT_EQ(port.systemError(), int(ERROR_FILE_NOT_FOUND));
    char byte = 0;
    std::uint32_t got = 77;
    EXPECT_EQ(port.read(&byte, 1, &got), 0);
    EXPECT_EQ(port.write(&byte, 1, &got), 0);
    EXPECT_EQ(got, 77u) << "a port that did not open leaves the count alone";
    port.purge();
    port.timeOut(1);
}

TEST(RS232OnWindows, OverLongNameIsRefusedBeforeAnyOpen) {
    RS232 port(std::string(28, 'A'), 115200);
    EXPECT_TRUE(port.error);
    EXPECT_EQ(port.cause(), PortError::badName);
    EXPECT_EQ(port.systemError(), 0);
}

bool underWine() {
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// A device that is not a serial port opens, but has no line settings: refused with its cause.
TEST(RS232OnWindows, DeviceThatIsNotASerialPortIsRefused) {
    RS232 port("NUL", 115200);
    EXPECT_TRUE(port.error);
    EXPECT_EQ(port.cause(), PortError::notSerial);
    EXPECT_NE(port.systemError(), 0);
    char byte = 0;
    std::uint32_t got = 77;
    EXPECT_EQ(port.read(&byte, 1, &got), 0);
    EXPECT_EQ(got, 77u);
}

// A port whose other end is open and silent: VTC880_TEST_PORT names it (scripts/windows maps one to a
// pseudo-terminal of the simulated device).
class LivePort : public testing::Test {
  protected:
    void SetUp() override {
        const char* name = std::getenv("VTC880_TEST_PORT");
        if (name == nullptr || *name == '\0') {
            GTEST_SKIP() << "VTC880_TEST_PORT names no silent port";
        }
        portName = name;
    }
    std::string portName;
};

TEST_F(LivePort, OneByteReadWithNothingArrivingSucceedsEmptyAfterTheTimeOut) {
    RS232 port(portName, 115200);
    ASSERT_FALSE(port.error) << "open failed with system error " << port.systemError();
    EXPECT_FALSE(port.lost());
    port.purge();
    for (std::uint32_t timeout : {100u, 40u, 1u}) {
        if (timeout != 100u) {
            port.timeOut(timeout);
        }
        char byte = 0;
        std::uint32_t got = 77;
        const auto start = std::chrono::steady_clock::now();
        EXPECT_NE(port.read(&byte, 1, &got), 0) << "time-out " << timeout;
        const auto waited = std::chrono::steady_clock::now() - start;
        EXPECT_EQ(got, 0u) << "time-out " << timeout;
        EXPECT_FALSE(port.lost()) << "a time-out is not a lost port";
        // It must have waited: Windows' timer may end a wait up to one tick early.
        EXPECT_GE(waited, std::chrono::milliseconds(timeout) - std::chrono::milliseconds(16))
            << "time-out " << timeout;
    }
}

TEST_F(LivePort, OpensAtEachSpeedTheUpdaterUsesAndHoldsIt) {
    for (const std::int32_t rate : {19200, 115200, 921600}) {
        RS232 port(portName, rate);
        EXPECT_FALSE(port.error) << rate << ": cause " << int(port.cause()) << ", system error "
                                 << port.systemError();
        EXPECT_EQ(port.baudRate(), rate);
    }
}

// A rate the driver does not hold is refused, not run at another speed. Windows' own drivers may take
// any rate; Wine on a pseudo-terminal keeps 38400 for a rate it has no code for.
TEST_F(LivePort, RateTheDriverDoesNotHoldIsRefused) {
    for (const std::int32_t rate : {12345, 0, -1}) {
        RS232 port(portName, rate);
        if (!port.error && rate > 0 && !underWine()) {
            continue;
        }
        EXPECT_TRUE(port.error) << rate;
        EXPECT_EQ(port.cause(), PortError::unsupportedSpeed) << rate;
    }
    RS232 again(portName, 115200);
    EXPECT_FALSE(again.error) << "a refused open must not keep the port";
}

TEST_F(LivePort, WritesWholeFrames) {
    RS232 port(portName, 115200);
    ASSERT_FALSE(port.error);
    const std::string frame(117, '\x5a');
    std::uint32_t written = 0;
    EXPECT_NE(port.write(frame.data(), std::uint32_t(frame.size()), &written), 0);
    EXPECT_EQ(written, frame.size());
}

TEST_F(LivePort, IsExclusiveUntilClosed) {
    if (underWine()) {
        GTEST_SKIP() << "Wine lets a device be opened twice; Windows' serial driver refuses the second open";
    }
    auto first = std::make_unique<RS232>(portName, 115200);
    ASSERT_FALSE(first->error);
    {
        RS232 second(portName, 115200);
        EXPECT_TRUE(second.error);
        EXPECT_EQ(second.cause(), PortError::busy);
        EXPECT_EQ(second.systemError(), int(ERROR_ACCESS_DENIED));
    }
    first.reset();
    RS232 again(portName, 115200);
    EXPECT_FALSE(again.error);
}

} // namespace

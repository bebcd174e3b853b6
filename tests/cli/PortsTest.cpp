#include "../image/TempDir.h"
#include "RunTool.h"
#include "ports/PortInfo.h"
#include "terminal/PortInfoText.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vtc880;

namespace fs = std::filesystem;

namespace {

using testing::AnyOf;
using testing::Contains;
using testing::HasSubstr;
using testing::Not;

// Whatever this machine has: every port found is described with its device and whether it may be
// opened, in text and as one JSON object per port.
TEST(Ports, DescribesEachPortFound) {
    TempDir dir;
    const ToolRun text = runTool("ports");
    EXPECT_EQ(text.status, 0);
    EXPECT_THAT(text.out, AnyOf(HasSubstr("no serial ports found"), HasSubstr("  device /dev/")));
    if (text.out.find("  device /dev/") != std::string::npos) {
        EXPECT_THAT(text.out, AnyOf(HasSubstr("you may open it"), HasSubstr("you may not open it")));
    }

    const ToolRun json = runTool("ports --json");
    EXPECT_EQ(json.status, 0);
    std::istringstream lines(json.out);
    std::string line;
    while (std::getline(lines, line)) {
        EXPECT_THAT(line, testing::StartsWith("{\"event\":\"port\",\"name\":"));
        EXPECT_THAT(line, testing::EndsWith("}"));
    }
}

// A machine as sysfs and /dev show it, in plain files and links: an FTDI adapter with a stable
// by-id name and its latency timer, a CDC-ACM port (no timer) and a 16550 UART as COM1.
class FakeMachine : public testing::Test {
  protected:
    FakeMachine() {
        fs::create_directories(dev / "serial" / "by-id");
        for (const char* node : {"ttyUSB0", "ttyACM0", "ttyS0"}) {
            writeText(dev / node, "");
        }
        fs::create_symlink("../../ttyUSB0",
                           dev / "serial" / "by-id" / "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0");

        const fs::path ftdiUsb = devices / "usb1" / "1-1";
        usbDevice(ftdiUsb, "0403", "6001", "FTDI", "FT232R USB UART", "A50285BI");
        ttyDevice("ttyUSB0", ftdiUsb / "1-1:1.0" / "ttyUSB0", "ftdi_sio");
        writeText(ftdiUsb / "1-1:1.0" / "ttyUSB0" / "latency_timer", "16\n");

        const fs::path acmUsb = devices / "usb1" / "1-2";
        usbDevice(acmUsb, "2341", "0043", "", "", "");
        ttyDevice("ttyACM0", acmUsb / "1-2:1.0", "cdc_acm");

        ttyDevice("ttyS0", devices / "platform" / "serial8250", "serial8250");
        writeText(ttyClass / "ttyS0" / "type", "4\n");
    }

    void usbDevice(const fs::path& at, const char* vendor, const char* product, const char* maker,
                   const char* name, const char* serial) {
        fs::create_directories(at);
        writeText(at / "idVendor", std::string(vendor) + "\n");
        writeText(at / "idProduct", std::string(product) + "\n");
        if (*maker != '\0') {
            writeText(at / "manufacturer", std::string(maker) + "\n");
            writeText(at / "product", std::string(name) + "\n");
            writeText(at / "serial", std::string(serial) + "\n");
        }
    }
    void ttyDevice(const std::string& tty, const fs::path& device, const std::string& driver) {
        fs::create_directories(device);
        fs::create_directories(drivers / driver);
        fs::create_directories(ttyClass / tty);
        fs::create_symlink(device, ttyClass / tty / "device");
        fs::create_symlink(drivers / driver, device / "driver");
    }
    const PortInfo& port(const std::vector<PortInfo>& ports, const std::string& device) {
        for (const PortInfo& info : ports) {
            if (fs::path(info.device).filename() == device) {
                return info;
            }
        }
        ADD_FAILURE() << device << " not listed";
        static const PortInfo none;
        return none;
    }

    TempDir dir;
    const fs::path dev = dir.path() / "dev";
    const fs::path ttyClass = dir.path() / "sys" / "class" / "tty";
    const fs::path devices = dir.path() / "sys" / "devices";
    const fs::path drivers = dir.path() / "sys" / "bus" / "drivers";
};

TEST_F(FakeMachine, EachPortWithItsDriverAdapterAndLatencyTimer) {
    const std::vector<PortInfo> ports = describeSerialPorts(dev.string(), ttyClass.string());
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].name,
              (dev / "serial" / "by-id" / "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0").string());
    EXPECT_EQ(ports[2].name, "COM1");

    const PortInfo& ftdi = port(ports, "ttyUSB0");
    EXPECT_EQ(ftdi.driver, "ftdi_sio");
    EXPECT_EQ(ftdi.usb, "0403:6001 FTDI FT232R USB UART");
    EXPECT_EQ(ftdi.serial, "A50285BI");
    EXPECT_EQ(ftdi.latencyTimerMs, 16);
    EXPECT_EQ(ftdi.latencyTimerPath, (ttyClass / "ttyUSB0" / "device" / "latency_timer").string());

    const PortInfo& acm = port(ports, "ttyACM0");
    EXPECT_EQ(acm.driver, "cdc_acm");
    EXPECT_EQ(acm.latencyTimerMs, -1);
    EXPECT_EQ(port(ports, "ttyS0").latencyTimerMs, -1);
}

TEST_F(FakeMachine, AHighTimerIsCalledHighWithItsCostAndItsFix) {
    struct Case {
        const char* timer;
        const char* line; // the timer's line in `vtc880 ports`
        bool advice;
    };
    const Case cases[] = {
        {"16\n", "  latency timer 16 ms: high", true},
        {"2\n", "  latency timer 2 ms: high", true},
        {"1\n", "  latency timer 1 ms", false},
        {"0\n", "  latency timer 0 ms", false}, // QEMU's emulated FTDI
    };
    const fs::path timerFile = ttyClass / "ttyUSB0" / "device" / "latency_timer";
    for (const Case& c : cases) {
        SCOPED_TRACE(c.timer);
        writeText(timerFile, c.timer);
        const std::vector<std::string> lines =
            portInfoLines(port(describeSerialPorts(dev.string(), ttyClass.string()), "ttyUSB0"));
        EXPECT_THAT(lines, Contains(c.line));
        const std::string text = testing::PrintToString(lines);
        if (c.advice) {
            EXPECT_THAT(text, HasSubstr("instead of 42.4 KB/s at 1 ms"));
            EXPECT_THAT(text, HasSubstr("echo 1 | sudo tee " + timerFile.string()));
            EXPECT_THAT(text, HasSubstr("USB serial adapters"));
        } else {
            EXPECT_THAT(text, Not(HasSubstr("KB/s")));
        }
    }
    writeText(timerFile, "16\n");
    EXPECT_THAT(testing::PrintToString(latencyTimerAdvice(
                    port(describeSerialPorts(dev.string(), ttyClass.string()), "ttyUSB0"))),
                HasSubstr("about 5.8 KB/s"));
}

TEST_F(FakeMachine, APortWithoutATimerHasNoTimerLine) {
    const std::vector<std::string> lines =
        portInfoLines(port(describeSerialPorts(dev.string(), ttyClass.string()), "ttyACM0"));
    EXPECT_THAT(testing::PrintToString(lines), Not(HasSubstr("latency")));
    EXPECT_THAT(lines, Contains("  you may open it"));
}

} // namespace

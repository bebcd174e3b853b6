#include "../image/TempDir.h"
#include "RunTool.h"
#include "terminal/PortLines.h"
#include "vtc880/PortInventory.h"

#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

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
    FakeMachine() { build(); }

    void build() {
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
    const Port& port(const std::vector<Port>& ports, const std::string& device) {
        for (const Port& info : ports) {
            if (fs::path(info.device).filename() == device) {
                return info;
            }
        }
        ADD_FAILURE() << device << " not listed";
        static const Port none;
        return none;
    }

    TempDir dir;
    const fs::path dev = dir.path() / "dev";
    const fs::path ttyClass = dir.path() / "sys" / "class" / "tty";
    const fs::path devices = dir.path() / "sys" / "devices";
    const fs::path drivers = dir.path() / "sys" / "bus" / "drivers";
    const DeviceRoots roots{dev.string(), (dir.path() / "sys").string()};
};

TEST_F(FakeMachine, EachPortWithItsDriverAdapterAndLatencyTimer) {
    const std::vector<Port> ports = listPorts(roots);
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[0].name,
              (dev / "serial" / "by-id" / "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0").string());
    EXPECT_EQ(ports[2].name, "COM1");

    const Port& ftdi = port(ports, "ttyUSB0");
    EXPECT_EQ(ftdi.driver, "ftdi_sio");
    EXPECT_EQ(usbText(ftdi), "0403:6001 FTDI FT232R USB UART");
    EXPECT_EQ(ftdi.usb.serial, "A50285BI");
    EXPECT_EQ(ftdi.latencyTimerMs, 16);
    EXPECT_EQ(ftdi.latencyTimerPath, (ttyClass / "ttyUSB0" / "device" / "latency_timer").string());

    const Port& acm = port(ports, "ttyACM0");
    EXPECT_EQ(acm.driver, "cdc_acm");
    EXPECT_EQ(acm.latencyTimerMs, -1);
    EXPECT_EQ(port(ports, "ttyS0").latencyTimerMs, -1);
}

// The words of `vtc880 ports`, line for line: a by-id line only where the name is not that link.
TEST_F(FakeMachine, EachPortInTheWordsOfThePortsCommand) {
    const fs::path uartLink = dev / "serial" / "by-id" / "pci-16550-port0";
    fs::create_symlink("../../ttyS0", uartLink);
    const std::vector<Port> ports = listPorts(roots);
    ASSERT_EQ(ports.size(), 4u) << "ttyS0 once by its by-id name, once as COM1";
    const std::string device = "  device " + fs::canonical(dev).string();

    const std::vector<std::string> ftdi = portInfoLines(ports[1]);
    ASSERT_EQ(ftdi.size(), 7u);
    EXPECT_EQ(ftdi[0], (dev / "serial" / "by-id" / "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0").string());
    EXPECT_EQ(ftdi[1], device + "/ttyUSB0  driver ftdi_sio");
    EXPECT_EQ(ftdi[2], "  usb 0403:6001 FTDI FT232R USB UART  serial A50285BI");
    EXPECT_EQ(ftdi[3], "  latency timer 16 ms: high");
    EXPECT_EQ(ftdi[6], "  you may open it");

    EXPECT_EQ(portInfoLines(ports[2]),
              (std::vector<std::string>{(dev / "ttyACM0").string(), device + "/ttyACM0  driver cdc_acm",
                                        "  usb 2341:0043", "  you may open it"}));
    EXPECT_EQ(ports[0].name, uartLink.string());
    EXPECT_EQ(portInfoLines(ports[3]),
              (std::vector<std::string>{"COM1", device + "/ttyS0  driver serial8250",
                                        "  by-id " + uartLink.string(), "  you may open it"}));
}

// sysfs as a test tree may hold it is untrusted: a FIFO, a file far longer than any attribute, a
// folder. The listing neither waits nor takes them as values.
TEST_F(FakeMachine, FilesThatAreNoAttributesAreReadAsNothing) {
    const fs::path usb = devices / "usb1" / "1-1";
    const fs::path timer = ttyClass / "ttyUSB0" / "device" / "latency_timer";
    const auto fifo = [](const fs::path& path) {
        fs::remove(path);
        ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    };
    const auto folder = [](const fs::path& path) {
        fs::remove(path);
        fs::create_directory(path);
    };
    struct Case {
        const char* name;
        std::function<void()> spoil;
        const char* usb;
        const char* serial;
        int timerMs;
    };
    const Case cases[] = {
        {"makerIsAFifo", [&] { fifo(usb / "manufacturer"); }, "0403:6001 FT232R USB UART", "A50285BI", 16},
        {"serialIsHuge", [&] { writeText(usb / "serial", std::string(1 << 16, 'A')); },
         "0403:6001 FTDI FT232R USB UART", "", 16},
        {"productIsAFolder", [&] { folder(usb / "idProduct"); }, "0403: FTDI FT232R USB UART", "A50285BI",
         16},
        {"vendorIsAFifo", [&] { fifo(usb / "idVendor"); }, "", "", 16},
        {"timerIsAFifo", [&] { fifo(timer); }, "0403:6001 FTDI FT232R USB UART", "A50285BI", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(dev);
        fs::remove_all(dir.path() / "sys");
        build();
        c.spoil();
        const std::vector<Port> ports = listPorts(roots);
        const Port& ftdi = port(ports, "ttyUSB0");
        EXPECT_EQ(usbText(ftdi), c.usb);
        EXPECT_EQ(ftdi.usb.serial, c.serial);
        EXPECT_EQ(ftdi.latencyTimerMs, c.timerMs);
    }
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
        const std::vector<std::string> lines = portInfoLines(port(listPorts(roots), "ttyUSB0"));
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
    EXPECT_THAT(testing::PrintToString(latencyTimerAdvice(port(listPorts(roots), "ttyUSB0"))),
                HasSubstr("about 5.8 KB/s"));
}

TEST_F(FakeMachine, APortWithoutATimerHasNoTimerLine) {
    const std::vector<std::string> lines = portInfoLines(port(listPorts(roots), "ttyACM0"));
    EXPECT_THAT(testing::PrintToString(lines), Not(HasSubstr("latency")));
    EXPECT_THAT(lines, Contains("  you may open it"));
}

} // namespace

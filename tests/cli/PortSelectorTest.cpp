#include "vtc880/PortSelector.h"

#include "../image/TempDir.h"

#include <algorithm>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>

using namespace vtc880;

namespace fs = std::filesystem;

namespace {

using testing::HasSubstr;
using testing::Not;

// A stand-in for /dev and /sys with four ports: two FTDI adapters that share the serial number
// "0001" in the sockets 1.2 and 1.3 of a hub, one with its own serial number in socket 2, and a CDC
// device with no by-path link. Device nodes need root, so plain files take their place.
class FakeSerialTree : public testing::Test {
  protected:
    TempDir dir;
    DeviceRoots roots;

    void SetUp() override {
        roots.dev = (dir.path() / "dev").string();
        roots.sys = (dir.path() / "sys").string();
        adapter("ttyUSB0", "0403", "6001", "0001", "FTDI_FT232R_USB_UART_0001",
                "pci-0000:00:14.0-usb-0:1.2:1.0-port0");
        adapter("ttyUSB1", "0403", "6001", "0001", "FTDI_FT232R_USB_UART_0001",
                "pci-0000:00:14.0-usb-0:1.3:1.0-port0");
        adapter("ttyUSB2", "0403", "6015", "A50285BI", "FTDI_FT230X_A50285BI",
                "pci-0000:00:14.0-usb-0:2:1.0-port0");
        adapter("ttyACM0", "2E8A", "000a", "", "Maker_Board_E6614", "");
        fs::create_symlink("../../ttyUSB9",
                           dev() / "serial" / "by-path" / "pci-0000:00:14.0-usb-0:4:1.0-port0");
    }

    fs::path dev() const { return roots.dev; }

    // A tty whose sysfs device hangs from a USB device with these ids, and its links. Two adapters
    // with the same serial number get the same by-id name in real life; here the second gets a suffix.
    void adapter(const std::string& tty, const std::string& vendor, const std::string& product,
                 const std::string& serial, const std::string& byId, const std::string& byPath) {
        fs::create_directories(dev() / "serial" / "by-id");
        fs::create_directories(dev() / "serial" / "by-path");
        writeText(dev() / tty, "");
        std::string idName = "usb-" + byId + "-if00-port0";
        if (fs::exists(dev() / "serial" / "by-id" / idName, ignored)) {
            idName = "usb-" + byId + "-if01-port0";
        }
        fs::create_symlink("../../" + tty, dev() / "serial" / "by-id" / idName);
        if (!byPath.empty()) {
            fs::create_symlink("../../" + tty, dev() / "serial" / "by-path" / byPath);
        }
        const fs::path usb = fs::path(roots.sys) / "devices" / ("usb-" + tty);
        fs::create_directories(usb / "interface" / tty);
        writeText(usb / "idVendor", vendor + "\n");
        writeText(usb / "idProduct", product + "\n");
        if (!serial.empty()) {
            writeText(usb / "serial", serial + "\n");
        }
        fs::create_directories(fs::path(roots.sys) / "class" / "tty" / tty);
        fs::create_symlink(usb / "interface" / tty, fs::path(roots.sys) / "class" / "tty" / tty / "device");
    }

    std::set<std::string> selected(const std::string& text) const {
        std::string problem;
        const std::optional<PortSelector> selector = parsePortSelector(text, problem);
        EXPECT_TRUE(selector) << problem;
        std::set<std::string> names;
        for (const Port& port : inventoryPorts(roots)) {
            if (selector && selects(*selector, port, roots.dev)) {
                names.insert(fs::path(port.device).filename().string());
            }
        }
        return names;
    }

    std::error_code ignored;
};

TEST_F(FakeSerialTree, InventoryGathersEveryNameAndTheUsbIdentityOfEachPort) {
    const std::vector<Port> ports = inventoryPorts(roots);
    ASSERT_EQ(ports.size(), 4u) << "the by-path link to a pulled adapter is left out";
    const auto at = [&](const std::string& tty) {
        return *std::find_if(ports.begin(), ports.end(),
                             [&](const Port& p) { return fs::path(p.device).filename() == tty; });
    };
    const Port usb1 = at("ttyUSB1");
    EXPECT_EQ(usb1.usb.vendorId, "0403");
    EXPECT_EQ(usb1.usb.serial, "0001");
    ASSERT_EQ(usb1.byPath.size(), 1u);
    EXPECT_THAT(usb1.byPath[0], HasSubstr("usb-0:1.3:1.0"));
    EXPECT_EQ(usb1.byId.size(), 1u);
    EXPECT_TRUE(at("ttyACM0").byPath.empty());
    EXPECT_EQ(at("ttyACM0").usb.vendorId, "2E8A");
}

struct SelectorCase {
    const char* name;
    const char* selector;
    std::set<std::string> ports;
};

class Selectors : public FakeSerialTree, public testing::WithParamInterface<SelectorCase> {};

TEST_P(Selectors, PickThePortsTheyDescribe) {
    EXPECT_EQ(selected(GetParam().selector), GetParam().ports);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Selectors,
    testing::Values(SelectorCase{"vendorAndProduct", "usb:0403:6001", {"ttyUSB0", "ttyUSB1"}},
                    SelectorCase{"idsInAnyCaseAndShort", "usb:403:6001", {"ttyUSB0", "ttyUSB1"}},
                    SelectorCase{"upperCaseIdOfTheSystem", "usb:2e8a:a", {"ttyACM0"}},
                    SelectorCase{"sharedSerialNumber", "usb:0403:6001:0001", {"ttyUSB0", "ttyUSB1"}},
                    SelectorCase{"ownSerialNumber", "usb:0403:6015:A50285BI", {"ttyUSB2"}},
                    SelectorCase{"serialNumberIsExact", "usb:0403:6015:a50285bi", {}},
                    SelectorCase{"otherProduct", "usb:0403:6010", {}},
                    SelectorCase{"oneSocket", "path:*usb-0:1.2:*", {"ttyUSB0"}},
                    SelectorCase{"everySocketOfTheHub", "path:*usb-0:1.*", {"ttyUSB0", "ttyUSB1"}},
                    SelectorCase{"bracketSet", "path:*usb-0:1.[3-9]:*", {"ttyUSB1"}},
                    SelectorCase{"byIdName", "path:usb-Maker_*", {"ttyACM0"}},
                    SelectorCase{
                        "wholeNameWithoutGlob", "path:pci-0000:00:14.0-usb-0:2:1.0-port0", {"ttyUSB2"}},
                    SelectorCase{"socketOfAPulledAdapter", "path:*usb-0:4:*", {}},
                    SelectorCase{"kernelNameUnderTheRoot", "ttyUSB2", {"ttyUSB2"}}),
    [](const testing::TestParamInfo<SelectorCase>& info) { return std::string(info.param.name); });

TEST_F(FakeSerialTree, AResolvedSelectorIsOnePortOrAProblemThatListsWhatWasFound) {
    const std::vector<Port> ports = inventoryPorts(roots);
    std::string problem;
    EXPECT_EQ(resolvePort("usb:0403:6015", ports, problem), (dev() / "ttyUSB2").string());
    EXPECT_EQ(resolvePort("/dev/ttyS0", ports, problem), "/dev/ttyS0") << "a name stands as it is";

    EXPECT_FALSE(resolvePort("usb:0403:6001:0001", ports, problem));
    EXPECT_THAT(problem, HasSubstr("more than one port matches"));
    EXPECT_THAT(problem, HasSubstr("path:pci-0000:00:14.0-usb-0:1.2:1.0-port0"));
    EXPECT_THAT(problem, HasSubstr("path:pci-0000:00:14.0-usb-0:1.3:1.0-port0"));
    EXPECT_THAT(problem, Not(HasSubstr("ttyACM0"))) << "only the ports that matched";

    EXPECT_FALSE(resolvePort("usb:1234:5678", ports, problem));
    EXPECT_THAT(problem, HasSubstr("no port matches"));
    for (const char* each : {"ttyUSB0", "ttyUSB1", "ttyUSB2", "ttyACM0", "usb:0403:6015:A50285BI"}) {
        EXPECT_THAT(problem, HasSubstr(each)) << "every port found is listed";
    }
    EXPECT_FALSE(resolvePort("path:*", {}, problem));
    EXPECT_THAT(problem, HasSubstr("no serial ports found"));
}

TEST(PortSelector, MalformedSelectorsSayWhatIsExpected) {
    for (const char* text : {"usb:", "usb:0403", "usb:0403:", "usb:12345:6001", "usb:04g3:6001",
                             "usb:0403:6001:", "USB:0403:60011", "path:", "path:a/b", "", "foo:bar",
                             "ttyS0:", "path:[abc", "path:*usb-0:1.[2-3:*", "path:[ab]x[c"}) {
        std::string problem;
        EXPECT_FALSE(parsePortSelector(text, problem)) << text;
        EXPECT_FALSE(problem.empty()) << text;
    }
    std::string problem;
    const std::optional<PortSelector> serial = parsePortSelector("usb:0403:6001:AB:CD", problem);
    ASSERT_TRUE(serial) << problem;
    EXPECT_EQ(serial->serial, "AB:CD") << "a serial number may hold ':'";
    EXPECT_EQ(parsePortSelector("COM3", problem)->kind, PortSelector::Kind::name);
    for (const char* text : {"path:[[]x", "path:[]]", "path:*usb-0:1.[2-3]:*", "/dev/serial/by-path/a:b:c"}) {
        EXPECT_TRUE(parsePortSelector(text, problem)) << text << ": " << problem;
    }
}

TEST(PortSelector, ANameOpensItsPortUnderTheFolderThatStandsForDev) {
    const struct {
        const char* name;
        const char* folder;
        const char* path;
    } cases[] = {
        {"COM1", "/dev", "/dev/ttyS0"},
        {"com10", "/tmp/line", "/tmp/line/ttyS9"},
        {"ttyUSB3", "/tmp/line", "/tmp/line/ttyUSB3"},
        {"/dev/pts/4", "/tmp/line", "/dev/pts/4"},
        {"usb:0403:6001", "/dev", ""},
        {"path:*", "/dev", ""},
    };
    for (const auto& c : cases) {
        std::string problem;
        const std::optional<PortSelector> selector = parsePortSelector(c.name, problem);
        ASSERT_TRUE(selector) << problem;
        EXPECT_EQ(namedPath(*selector, c.folder), c.path) << c.name;
    }
}

// Whether a slot after another could ever take a port: only when the first does not cover it.
TEST(PortSelector, CoversWhatItWouldAlwaysTakeFirst) {
    const struct {
        const char* earlier;
        const char* later;
        bool covered;
    } cases[] = {
        {"path:*usb-0:1.*", "path:*usb-0:1.1:*", true},
        {"path:*", "path:anything[0-9]?", true},
        {"path:*usb-0:1.1:*", "path:*usb-0:1.*", false},
        {"path:*usb-0:1.[1-4]:*", "path:*usb-0:1.[23]:*", true},
        {"path:*usb-0:1.[23]:*", "path:*usb-0:1.[1-4]:*", false},
        {"path:a?c", "path:a[bx]c", true},
        {"path:a[bx]c", "path:a?c", false},
        {"path:a*", "path:*a", false},
        {"path:*1.2*", "path:*1.2*", true},
        {"usb:0403:6001", "usb:0403:6001:A50285BI", true},
        {"usb:0403:6001", "usb:403:6001", true},
        {"usb:0403:6001:A50285BI", "usb:0403:6001", false},
        {"usb:0403:6001:A", "usb:0403:6001:B", false},
        {"usb:0403:6001", "path:*", false},
        {"COM1", "ttyS0", true},
        {"COM1", "/dev/ttyS0", true},
        {"COM1", "COM2", false},
    };
    for (const auto& c : cases) {
        std::string problem;
        const std::optional<PortSelector> earlier = parsePortSelector(c.earlier, problem);
        const std::optional<PortSelector> later = parsePortSelector(c.later, problem);
        ASSERT_TRUE(earlier && later) << problem;
        EXPECT_EQ(covers(*earlier, *later), c.covered) << c.earlier << " then " << c.later;
    }
}

TEST(GlobMatch, MatchesWholeNamesAsAShellDoes) {
    struct Case {
        const char* pattern;
        const char* text;
        bool matches;
    };
    const Case cases[] = {
        {"*", "", true},
        {"*", "abc", true},
        {"a*c", "abbbc", true},
        {"a*c", "abcd", false},
        {"?b", "ab", true},
        {"?b", "b", false},
        {"*1.2*", "usb-0:1.2:1", true},
        {"*1.2*", "usb-0:1.3", false},
        {"[ab]x", "bx", true},
        {"[!ab]x", "bx", false},
        {"[a-c]", "d", false},
        {"[]]", "]", true},
        {"[", "[", true},
        {"a[", "a[", true},
        {"**a", "ba", true},
        {"*a*b*c*", "xaxbxcx", true},
        {"*a*b*c*", "xaxcxbx", false},
        {"", "", true},
        {"", "a", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(globMatch(c.pattern, c.text), c.matches) << c.pattern << " on " << c.text;
    }
    // Many stars against a long name that does not match: back-tracking stays bounded.
    EXPECT_FALSE(globMatch(std::string(40, '*') + "b", std::string(5000, 'a')));
}

} // namespace

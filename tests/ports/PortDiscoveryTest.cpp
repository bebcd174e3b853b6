#include "vtc880/PortDiscovery.h"

#include "../image/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace vtc880;

namespace fs = std::filesystem;

namespace {

// A stand-in for /dev: device nodes need root, so plain files take their place.
class FakeDev : public ::testing::Test {
  protected:
    void device(const std::string& name) { writeText(dir.path() / name, ""); }
    void byId(const std::string& name, const std::string& target) {
        fs::create_directories(dir.path() / "serial" / "by-id");
        fs::create_symlink(target, dir.path() / "serial" / "by-id" / name);
    }
    std::string path(const std::string& relative) const { return (dir.path() / relative).string(); }
    std::vector<std::string> found() const { return discoverSerialPorts(dir.path().string()); }

    TempDir dir;
};

TEST_F(FakeDev, ListsUsbAndAcmDevicesInNaturalOrderAndNothingElse) {
    for (const char* name :
         {"ttyUSB10", "ttyUSB2", "ttyACM0", "ttyS0", "tty1", "ttyUSB", "ttyUSBx", "null"}) {
        device(name);
    }
    fs::create_directory(dir.path() / "ttyUSB3"); // not a device
    EXPECT_EQ(found(), (std::vector<std::string>{path("ttyACM0"), path("ttyUSB2"), path("ttyUSB10")}));
}

TEST_F(FakeDev, ByIdNamesComeFirstAndStandForTheDeviceTheyLeadTo) {
    device("ttyUSB0");
    device("ttyUSB1");
    device("ttyACM0"); // no by-id name: listed under its own
    byId("usb-Maker_Adapter_B-if00-port0", "../../ttyUSB0");
    byId("usb-Maker_Adapter_A-if00-port0", "../../ttyUSB1");
    byId("usb-Gone-if00-port0", "../../ttyUSB7"); // the adapter was pulled
    EXPECT_EQ(found(), (std::vector<std::string>{path("serial/by-id/usb-Maker_Adapter_A-if00-port0"),
                                                 path("serial/by-id/usb-Maker_Adapter_B-if00-port0"),
                                                 path("ttyACM0")}));
}

TEST_F(FakeDev, AMissingDirectoryGivesAnEmptyList) {
    EXPECT_TRUE(discoverSerialPorts((dir.path() / "absent").string()).empty());
    EXPECT_TRUE(found().empty());
}

TEST(NaturalLess, ComparesRunsOfDigitsAsNumbers) {
    struct Case {
        const char* a;
        const char* b;
        bool less;
    };
    const Case cases[] = {
        {"ttyUSB2", "ttyUSB10", true},
        {"ttyUSB10", "ttyUSB2", false},
        {"ttyACM9", "ttyUSB0", true},
        {"ttyUSB", "ttyUSB0", true},
        {"ttyUSB07", "ttyUSB7", false}, // same number: fewer leading zeros first
        {"ttyUSB7", "ttyUSB07", true},
        {"a99999999999999999999999999", "a100000000000000000000000000", true}, // beyond any integer type
        {"same", "same", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(naturalLess(c.a, c.b), c.less) << c.a << " < " << c.b;
    }
}

} // namespace

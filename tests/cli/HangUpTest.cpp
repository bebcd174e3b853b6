#include "ChildTool.h"
#include "RunTool.h"
#include "ToolImage.h"
#include "sim/SimulatedDevice.h"
#include "vtc880/DeviceCodes.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <thread>

using namespace vtc880;

namespace {

struct HangUpCase {
    const char* name;
    bool json;
    bool closePipe; // the reader goes, as `| head -n 60` does
    bool hangUp;    // SIGHUP, as a dropped ssh session sends
};

void PrintTo(const HangUpCase& c, std::ostream* out) {
    *out << c.name;
}

class HangUp : public testing::TestWithParam<HangUpCase> {
  protected:
    TempDir dir;
};

// Mid-programming the output's reader goes away, or the session hangs up: the update runs to its end
// all the same, with its usual exit status, and the device holds the whole image.
TEST_P(HangUp, TheUpdateRunsToItsEnd) {
    const HangUpCase& c = GetParam();
    // About two seconds of programming on the modelled line, against a device in another process.
    ASSERT_TRUE(writeToolImage("fw.hex", 20000));
    sim::Config config;
    config.lineModel = true;
    config.initialSpeed = Speed::update;
    config.eraseTimeMs = 50;
    sim::SimulatedDevice device(config);
    ASSERT_TRUE(device.start());

    std::vector<std::string> arguments{"update", "fw.hex", "--no-speed-switch", "--port", device.portPath()};
    if (c.json) {
        arguments.insert(arguments.begin(), "--json");
    }
    ChildTool tool = ChildTool::onPipe(arguments, "tool.err");
    ASSERT_TRUE(tool.started());
    ASSERT_TRUE(tool.readUntil(c.json ? "\"phase\":\"programming\",\"done\":1" : "programming: 25%"))
        << tool.output;
    if (c.closePipe) {
        tool.closeOutput();
    }
    if (c.hangUp) {
        tool.signal(SIGHUP);
    }
    if (!c.closePipe) {
        EXPECT_TRUE(tool.readToEnd());
        EXPECT_THAT(tool.output, testing::HasSubstr("updated with fw.hex"));
    }
    EXPECT_EQ(tool.wait(), 0) << slurp("tool.err");

    for (int wait = 0; wait < 500 && !device.finished(); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10)); // Finish awaits no reply
    }
    EXPECT_TRUE(device.finished());
    FileCopy image;
    ASSERT_EQ(firmwareExtract("fw.hex", image), 0);
    for (int b = 0; b < image.count; ++b) {
        const FileBlock& block = image.blocks[b];
        EXPECT_EQ(device.memory(block.address, block.size), blockBytes(block)) << "block " << b;
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, HangUp,
                         testing::Values(HangUpCase{"jsonIntoHead", true, true, false},
                                         HangUpCase{"plainIntoHead", false, true, false},
                                         HangUpCase{"hangUp", false, false, true},
                                         HangUpCase{"hangUpAndTheTerminalGone", true, true, true}),
                         [](const testing::TestParamInfo<HangUpCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace

#include "../image/TempDir.h"
#include "RunTool.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

using testing::AnyOf;
using testing::HasSubstr;

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

} // namespace

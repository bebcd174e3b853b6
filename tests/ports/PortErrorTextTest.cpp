#include "ports/PortErrorText.h"

#include <cerrno>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vtc880;

namespace {

using testing::HasSubstr;

struct Wording {
    const char* name;
    PortError cause;
    int systemError;
    std::int32_t baudRate;
    const char* detail; // in the window's error box
    const char* brief;  // in a one-line result
};

class PortErrorWords : public testing::TestWithParam<Wording> {};

TEST_P(PortErrorWords, SayWhatHappenedAndWhatToDo) {
    const Wording& w = GetParam();
    EXPECT_THAT(portErrorDetail(w.cause, w.systemError, "/dev/ttyS1", w.baudRate), HasSubstr(w.detail));
    EXPECT_THAT(portErrorBrief(w.cause, w.systemError, w.baudRate), HasSubstr(w.brief));
}

INSTANTIATE_TEST_SUITE_P(
    Causes, PortErrorWords,
    testing::Values(
        Wording{"speed", PortError::unsupportedSpeed, 0, 921600,
                "/dev/ttyS1: the adapter does not support 921600 bit/s. Check the link choice",
                "the adapter does not support 921600 bit/s"},
        Wording{"speedNotKnown", PortError::unsupportedSpeed, 0, 0, "does not support the speed asked for",
                "does not support the speed asked for"},
        Wording{"framing", PortError::unsupportedFraming, 0, 115200,
                "/dev/ttyS1: the adapter does not support 8 data bits, no parity and one stop bit",
                "8 data bits, no parity and one stop bit"},
        Wording{"busy", PortError::busy, EBUSY, 115200, "/dev/ttyS1 is busy", "another program holds it"},
        Wording{"permission", PortError::permissionDenied, EACCES, 115200, "dialout", "permission denied"},
        Wording{"notFound", PortError::notFound, ENOENT, 115200, "No such port: /dev/ttyS1", "no such port"},
        Wording{"notSerial", PortError::notSerial, ENOTTY, 115200, "not a serial port", "not a serial port"},
        Wording{"otherWithItsError", PortError::other, EIO, 115200, "could not be opened: Input/output error",
                "Input/output error"}),
    [](const testing::TestParamInfo<Wording>& info) { return std::string(info.param.name); });

TEST(PortErrorWords, NoCauseSaysNothing) {
    EXPECT_EQ(portErrorDetail(PortError::none, 0, "/dev/ttyS1"), "");
    EXPECT_EQ(portErrorBrief(PortError::none, 0), "");
}

} // namespace

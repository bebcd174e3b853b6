#include "ports/PortAdvice.h"

#include "../image/TempDir.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace vtc880;

namespace {

using testing::HasSubstr;
using testing::Not;

struct AccessCase {
    const char* name;
    const char* group; // of the port; its owner is root
    mode_t mode;
    std::vector<std::string> said;
    std::vector<std::string> notSaid;
};

void PrintTo(const AccessCase& c, std::ostream* out) {
    *out << c.name;
}

class PermissionAdvice : public testing::TestWithParam<AccessCase> {
  protected:
    TempDir dir;
};

// The advice names the port's real owner, group and mode: joining dialout is no answer for a port
// only root may open.
TEST_P(PermissionAdvice, NamesWhoMayOpenThePort) {
    const AccessCase& c = GetParam();
    const group* found = getgrnam(c.group);
    if (found == nullptr) {
        GTEST_SKIP() << "no group " << c.group << " here";
    }
    const std::string port = (dir.path() / "ttyS0").string();
    writeText(port, "");
    ASSERT_EQ(chown(port.c_str(), 0, found->gr_gid), 0) << "the tests run as root";
    ASSERT_EQ(chmod(port.c_str(), c.mode), 0);
    const std::string advice = permissionAdvice(port);
    for (const std::string& part : c.said) {
        EXPECT_THAT(advice, HasSubstr(part == "PORT" ? port : part));
    }
    for (const std::string& part : c.notSaid) {
        EXPECT_THAT(advice, Not(HasSubstr(part)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PermissionAdvice,
    testing::Values(
        AccessCase{"onlyRoot",
                   "root",
                   0600,
                   {": permission denied: ", "belongs to root:root with mode 0600", "only root may open it",
                    "sudo chgrp dialout", "sudo chmod 660"},
                   {"join the"}},
        AccessCase{"rootGroupMayUseIt",
                   "root",
                   0660,
                   {"root:root with mode 0660", "only root may open it"},
                   {"join the"}},
        AccessCase{
            "dialout", "dialout", 0660, {"root:dialout with mode 0660", "the dialout group"}, {"only root"}},
        AccessCase{"dialoutMayOnlyRead",
                   "dialout",
                   0640,
                   {"root:dialout with mode 0640", "only root may open it"},
                   {"join the"}}),
    [](const testing::TestParamInfo<AccessCase>& info) { return std::string(info.param.name); });

TEST(PermissionAdviceFor, APortThatIsNotThere) {
    EXPECT_EQ(permissionAdvice("/dev/vtc880-no-such-port"), ": permission denied");
}

// Held only by this very process: the advice lists no process, least of all the tool itself.
TEST(BusyAdvice, DoesNotNameTheToolsOwnProcess) {
    TempDir dir;
    writeText("port", "");
    const int held = open("port", O_RDWR | O_CLOEXEC);
    ASSERT_GE(held, 0);
    const std::string advice = busyAdvice((dir.path() / "port").string());
    close(held);
    EXPECT_THAT(advice, Not(HasSubstr(std::to_string(getpid()))));
    EXPECT_EQ(advice, ": another program holds it");
}

} // namespace

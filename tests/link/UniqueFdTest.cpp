#include "vtc880/UniqueFd.h"

#include <cerrno>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <utility>

using namespace vtc880;

namespace {

bool isOpen(int fd) {
    return ::fcntl(fd, F_GETFD) != -1;
}

int openNull() {
    return ::open("/dev/null", O_RDONLY | O_CLOEXEC);
}

// A descriptor is closed once, by the last owner, and an owner it moved away from closes nothing.
TEST(UniqueFd, TheLastOwnerClosesItOnce) {
    const int first = openNull();
    const int second = openNull();
    ASSERT_TRUE(isOpen(first) && isOpen(second));
    {
        UniqueFd a(first);
        UniqueFd b(std::move(a));
        EXPECT_FALSE(a.valid());
        EXPECT_EQ(b.get(), first);

        UniqueFd c(second);
        c = std::move(b); // c's own goes now
        EXPECT_FALSE(isOpen(second));
        EXPECT_TRUE(isOpen(first));
        UniqueFd& same = c;
        c = std::move(same);
        EXPECT_TRUE(isOpen(first)) << "moving onto itself keeps it";
    }
    EXPECT_FALSE(isOpen(first));
}

// Callers read errno after a failed call and then let the owner go: the close must not change it.
TEST(UniqueFd, ClosingKeepsTheErrorOfTheCallBefore) {
    UniqueFd fd(openNull());
    ASSERT_TRUE(fd.valid());
    errno = ENOENT;
    fd.reset();
    EXPECT_EQ(errno, ENOENT);
    EXPECT_TRUE(fd.close()) << "nothing to close is no failure";

    UniqueFd written(openNull());
    EXPECT_TRUE(written.close());
    EXPECT_FALSE(written.valid());
}

} // namespace

#include "TempDir.h"
#include "vtc880/ImageFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace vtc880;

namespace {

// A disk that fills up part-way (here: a file size limit, in a child process) must not cut the image
// already there.
TEST(ImageFileOnPosix, FailedWriteKeepsThePreviousImage) {
    TempDir dir;
    const std::vector<std::uint8_t> previous = pattern(300, 3);
    writeFile("fw.hex", previous);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        setrlimit(RLIMIT_FSIZE, &limit);
        const std::vector<std::uint8_t> bytes = pattern(100000);
        FileCopy list;
        auto data = std::make_unique<std::uint8_t[]>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), data.get());
        list.append(std::uint32_t(bytes.size()), 0x10, std::move(data));
        _exit(firmwareCreate("fw.hex", list) == -1 ? 0 : 1);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "firmwareCreate reported success";
    EXPECT_EQ(readFile("fw.hex"), previous);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"fw.hex"});
}

} // namespace

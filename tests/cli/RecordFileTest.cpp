#include "vtc880/RecordFile.h"

#include "../image/TempDir.h"
#include "vtc880/Json.h"

#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace vtc880;

namespace {

using testing::HasSubstr;

std::vector<std::string> linesOf(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// A record big enough that a torn or interleaved write would show: writer, number, and padding.
std::string record(int writer, int number) {
    return R"({"writer":)" + std::to_string(writer) + R"(,"n":)" + std::to_string(number) + R"(,"pad":")" +
           std::string(3000 + std::size_t(number % 7) * 500, char('a' + writer % 26)) + "\"}";
}

// Every line is one whole record, and each writer's records are all there.
void expectWholeRecords(const std::filesystem::path& path, int writers, int each) {
    std::set<std::pair<int, int>> seen;
    for (const std::string& line : linesOf(path)) {
        const Json value = Json::parse(line, nullptr, false);
        ASSERT_FALSE(value.is_discarded()) << line.substr(0, 80);
        const int writer = value.at("writer").get<int>();
        const int n = value.at("n").get<int>();
        EXPECT_EQ(value.at("pad").get<std::string>().size(), 3000 + std::size_t(n % 7) * 500);
        EXPECT_TRUE(seen.insert({writer, n}).second) << "a record written twice";
    }
    EXPECT_EQ(seen.size(), std::size_t(writers * each));
}

// Several programs (stations) appending to one file at once: the lock keeps every record whole.
TEST(RecordFile, ConcurrentWritersInSeveralProcessesLoseNothing) {
    TempDir dir;
    const std::filesystem::path path = dir.path() / "records.jsonl";
    constexpr int writers = 4;
    constexpr int each = 150;
    std::vector<pid_t> children;
    for (int w = 0; w < writers; ++w) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            const RecordFile file(path.string());
            for (int n = 0; n < each; ++n) {
                if (!file.append(record(w, n)).empty()) {
                    _exit(1);
                }
            }
            _exit(0);
        }
        children.push_back(child);
    }
    for (const pid_t child : children) {
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    expectWholeRecords(path, writers, each);
}

// And several jobs of one station, each on its own thread.
TEST(RecordFile, ConcurrentWritersInOneProcessLoseNothing) {
    TempDir dir;
    const std::filesystem::path path = dir.path() / "records.jsonl";
    constexpr int writers = 6;
    constexpr int each = 60;
    std::vector<std::thread> threads;
    std::atomic<int> failures{0};
    for (int w = 0; w < writers; ++w) {
        threads.emplace_back([&, w] {
            const RecordFile file(path.string());
            for (int n = 0; n < each; ++n) {
                failures += file.append(record(w, n)).empty() ? 0 : 1;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(failures, 0);
    expectWholeRecords(path, writers, each);
}

// A crash (or power loss) may leave the last line without its end: the next record must not be glued
// to it, or it would be lost with it.
TEST(RecordFile, ARecordAfterATornLineStartsALineOfItsOwn) {
    TempDir dir;
    const std::filesystem::path path = dir.path() / "records.jsonl";
    writeText(path, "{\"whole\":1}\n{\"torn\":");
    const RecordFile file(path.string());
    ASSERT_EQ(file.append("{\"next\":2}"), "");
    ASSERT_EQ(file.append("{\"then\":3}"), "");
    EXPECT_EQ(linesOf(path),
              (std::vector<std::string>{"{\"whole\":1}", "{\"torn\":", "{\"next\":2}", "{\"then\":3}"}));
}

TEST(RecordFile, AFileThatCannotBeWrittenIsSaidBeforeAnyRecord) {
    TempDir dir;
    std::filesystem::create_directory(dir.path() / "folder");
    for (const std::string& path :
         {(dir.path() / "folder").string(), (dir.path() / "missing" / "r.jsonl").string()}) {
        const RecordFile file(path);
        EXPECT_THAT(file.check(), HasSubstr(path));
        EXPECT_THAT(file.append("{}"), HasSubstr(path));
    }
    const RecordFile good((dir.path() / "new.jsonl").string());
    EXPECT_EQ(good.check(), "");
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "new.jsonl"))
        << "made, empty, so that stations can share it";
}

} // namespace

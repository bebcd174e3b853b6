#include "../image/TempDir.h"
#include "RunTool.h"
#include "vtc880/ImageFile.h"
#include "vtc880/JobRecorder.h"
#include "vtc880/Json.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace vtc880;

namespace {

using testing::HasSubstr;

std::vector<Json> records(const std::string& path) {
    std::vector<Json> all;
    std::istringstream lines(slurp(path));
    for (std::string line; std::getline(lines, line);) {
        Json value = Json::parse(line, nullptr, false);
        EXPECT_FALSE(value.is_discarded()) << line;
        all.push_back(std::move(value));
    }
    return all;
}

std::string text(const Json& record, const char* key) {
    const auto value = record.find(key);
    return value == record.end() ? "(absent)" : value->is_string() ? value->get<std::string>() : "(not text)";
}

class RecordOption : public testing::Test {
  protected:
    TempDir dir;
    void SetUp() override {
        FileCopy image;
        blockAddVersion(image, 0x56020107, 0x50002);
        const std::vector<std::uint8_t> bytes = pattern(250);
        auto data = std::make_unique<std::uint8_t[]>(bytes.size());
        std::copy(bytes.begin(), bytes.end(), data.get());
        image.append(std::uint32_t(bytes.size()), 0x100, std::move(data));
        ASSERT_EQ(firmwareCreate("fw.hex", image), 0);
    }
};

const std::string fast = " --simulate --no-speed-switch --erase-time-ms 20 --record r.jsonl";

// Each operation on each device appends its record, whatever the outcome.
TEST_F(RecordOption, UpdateVerifyAndEraseEachAppendTheirRecord) {
    EXPECT_EQ(runTool("update fw.hex --verify" + fast).status, 0);
    EXPECT_EQ(runTool("update fw.hex --verify --corrupt-chunk 1" + fast).status, 8);
    EXPECT_EQ(runTool("verify fw.hex" + fast).status, 8) << "a fresh simulated device holds nothing";
    EXPECT_EQ(runTool("erase --port a --port b" + fast).status, 0);

    const std::vector<Json> all = records("r.jsonl");
    ASSERT_EQ(all.size(), 5u);
    EXPECT_EQ(text(all[0], "operation"), "update");
    EXPECT_EQ(text(all[0], "outcome"), "succeeded");
    EXPECT_EQ(text(all[0], "image_version"), "2.1.7");
    EXPECT_EQ(text(all[0], "image_sha256").size(), 64u);
    EXPECT_EQ(text(all[1], "outcome"), "verify_failed");
    EXPECT_EQ(text(all[1], "state"), "programmed_not_finished");
    EXPECT_EQ(text(all[2], "operation"), "verify");
    for (const std::size_t erase : {3u, 4u}) {
        EXPECT_EQ(text(all[erase], "operation"), "erase");
        EXPECT_TRUE(all[erase].at("image").is_null());
    }
    EXPECT_THAT(text(all[0], "start"), testing::MatchesRegex("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9:.]{12}Z"));
    EXPECT_FALSE(text(all[0], "tool_version").empty());
}

// A record file that cannot be written is found out before any device is touched.
TEST_F(RecordOption, AnUnwritableRecordFileStopsTheRunBeforeTheDevice) {
    const ToolRun run = runTool("update fw.hex --simulate --no-speed-switch --record missing/r.jsonl");
    EXPECT_EQ(run.status, 3);
    EXPECT_THAT(run.err, HasSubstr("cannot write records"));
    EXPECT_THAT(run.out + run.err, testing::Not(HasSubstr("Connecting")));
}

// A record that cannot be written once the run has ended is said with the record itself.
TEST_F(RecordOption, ARecordNotWrittenLaterIsSaidWithTheRecord) {
    std::filesystem::create_directories("out");
    std::string problem;
    const JobRecorder recorder("out/r.jsonl", "fw.hex", problem);
    ASSERT_EQ(problem, "");
    std::filesystem::remove_all("out");
    RunSettings job;
    job.port = "/dev/ttyUSB0";
    RunResult result;
    result.outcome = Outcome::succeeded;
    const auto now = std::chrono::system_clock::now();
    const std::string said = recorder.write(job, result, now, now);
    EXPECT_THAT(said, HasSubstr("the record of /dev/ttyUSB0 was not written: "));
    EXPECT_THAT(said, HasSubstr("; here it is: {\"format\":\"vtc880-record/2\""));
}

} // namespace

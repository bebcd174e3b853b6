#include "RunTool.h"
#include "ToolImage.h"
#include "terminal/LineFit.h"
#include "terminal/ProgressView.h"
#include "vtc880/DeviceRecord.h"
#include "vtc880/Json.h"
#include "vtc880/RecordTable.h"
#include "vtc880/Utf8.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

using namespace vtc880;

namespace {

using testing::HasSubstr;

// A name as the system hands it over, and as every output must give it back: UTF-8 as it stands, a
// byte that is not UTF-8 as U+FFFD (never as two characters of Latin-1).
struct NameCase {
    const char* name;
    std::string given;
    std::string shown;
};

const NameCase names[] = {
    {"accents", "f\xC3\xAFrmw\xC3\xA4re.hex", "f\xC3\xAFrmw\xC3\xA4re.hex"},
    {"wide", "\xE5\x9B\xBA\xE4\xBB\xB6\xE5\x9B\xBA\xE4\xBB\xB6.hex",
     "\xE5\x9B\xBA\xE4\xBB\xB6\xE5\x9B\xBA\xE4\xBB\xB6.hex"},
    {"invalidByte", "fw\xFF.hex", "fw\xEF\xBF\xBD.hex"},
};

class Utf8Names : public testing::TestWithParam<NameCase> {
  protected:
    TempDir dir;
};

// The image's name through an update with --json and --record: the start and result events, the
// record, and what `vtc880 records` makes of the record, for people and as JSON.
TEST_P(Utf8Names, SurviveTheEventsTheRecordAndTheRecordsTable) {
    const NameCase& row = GetParam();
    ASSERT_TRUE(writeToolImage(row.given));
    const ToolRun run = runTool("--json update '" + row.given +
                                "' --simulate --no-speed-switch --erase-time-ms 20 --record r.jsonl");
    ASSERT_EQ(run.status, 0) << run.err;
    std::istringstream lines(run.out);
    int checked = 0;
    for (std::string line; std::getline(lines, line);) {
        EXPECT_EQ(validUtf8(line), line) << "not UTF-8: " << line;
        const Json event = Json::parse(line);
        if (event["event"] == "start") {
            EXPECT_EQ(event["image"], row.shown);
            ++checked;
        } else if (event["event"] == "result") {
            EXPECT_THAT(event["text"].get<std::string>(), HasSubstr("updated with " + row.shown + ":"));
            ++checked;
        }
    }
    EXPECT_EQ(checked, 2);

    const std::string record = slurp("r.jsonl");
    EXPECT_EQ(validUtf8(record), record);
    EXPECT_EQ(Json::parse(record)["image"], row.shown);

    const ToolRun table = runTool("records r.jsonl");
    EXPECT_THAT(table.out, HasSubstr("per image:\n  " + row.shown + " 2.1.7 sha256 "));
    const ToolRun json = runTool("--json records r.jsonl");
    EXPECT_THAT(json.out, HasSubstr("\"images\":{\"" + row.shown + " 2.1.7 sha256 "));
}

// The name as a device's live line at 40 columns and as a cell of the records table: cut between
// characters, never past the width, and the columns after it where they belong.
TEST_P(Utf8Names, FitTheLiveLineAndLineUpInTheRecordsTable) {
    const NameCase& row = GetParam();
    RunPlan plan;
    plan.imageBytes = 100000;
    plan.blocks = 2;
    DeviceProgress progress(plan);
    const auto start = DeviceProgress::Clock::now();
    progress.enter(Phase::programming, start);
    progress.advance({Phase::programming, 50000, 100000, 1, 2}, start + std::chrono::seconds(5));
    for (const std::string& port : {row.given, row.given + row.given + row.given + row.given}) {
        const std::string line = fitLine(ProgressView::lineFields(port, progress, start), 40);
        EXPECT_EQ(validUtf8(line), line) << line;
        EXPECT_LE(columns(line), 40u) << line;
        EXPECT_THAT(line, HasSubstr("programming")) << line;
    }

    std::string file;
    for (const std::string& slot : {row.given, std::string("A")}) {
        DeviceRecord record;
        record.slot = slot;
        record.port = "/dev/ttyUSB0";
        record.result.outcome = Outcome::succeeded;
        file += recordLine(record) + "\n";
    }
    std::istringstream in(file);
    const std::vector<std::string> text = recordsText(readRecords(in));
    ASSERT_GE(text.size(), 3u);
    // The port column starts at the same terminal column on every line of the table.
    const auto portColumn = [](const std::string& line) {
        return columns(line.substr(0, line.find("/dev/")));
    };
    EXPECT_EQ(portColumn(text[1]), portColumn(text[2])) << text[1] << "\n" << text[2];
    EXPECT_THAT(text[1], HasSubstr(row.shown));
}

INSTANTIATE_TEST_SUITE_P(Names, Utf8Names, testing::ValuesIn(names),
                         [](const testing::TestParamInfo<NameCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace

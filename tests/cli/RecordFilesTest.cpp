#include "../image/TempDir.h"
#include "RunTool.h"
#include "vtc880/DeviceRecord.h"
#include "vtc880/ExitStatus.h"
#include "vtc880/RecordTable.h"
#include "vtc880/Utf8.h"

#include <algorithm>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

using namespace vtc880;

namespace {

using testing::HasSubstr;
namespace fs = std::filesystem;

// The record of a device whose update ended `second` seconds into the day, in `slot`.
std::string recordAt(int second, const std::string& slot, Outcome outcome = Outcome::succeeded) {
    DeviceRecord record;
    record.end = std::chrono::system_clock::time_point{} + std::chrono::hours(24 * 365 * 54) +
                 std::chrono::seconds(second);
    record.start = record.end - std::chrono::seconds(3);
    record.slot = slot;
    record.port = "/dev/ttyUSB" + std::to_string(second);
    record.result.outcome = outcome;
    return recordLine(record) + "\n";
}

std::vector<std::string> slotsOf(const std::vector<RecordRow>& rows) {
    const std::vector<std::string>& columns = recordColumns();
    const std::size_t at = std::size_t(std::find(columns.begin(), columns.end(), "slot") - columns.begin());
    std::vector<std::string> slots;
    for (const RecordRow& row : rows) {
        slots.push_back(row[at]);
    }
    return slots;
}

// Two stations' files read as one: their records in the order they ended, each line that is not a
// record named by its file and line number.
TEST(RecordFiles, AreMergedInTimeOrderWithEachProblemNamedByItsFile) {
    std::istringstream one(recordAt(1, "a1") + recordAt(4, "a4") + "{\"cut\n" + recordAt(6, "a6"));
    std::istringstream two(recordAt(2, "b2") + recordAt(3, "b3") + recordAt(4, "b4") + recordAt(9, "b9"));
    std::istringstream three("");
    std::vector<RecordRow> rows;
    std::vector<RecordProblem> problems;
    readRecords(
        {{"one.jsonl", &one}, {"two.jsonl", &two}, {"three.jsonl", &three}},
        [&](const RecordRow& row) { rows.push_back(row); },
        [&](const RecordProblem& problem) { problems.push_back(problem); });
    EXPECT_EQ(slotsOf(rows), (std::vector<std::string>{"a1", "b2", "b3", "a4", "b4", "a6", "b9"}))
        << "equal times in the order of the files";
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_EQ(problems[0].file, "one.jsonl");
    EXPECT_EQ(problems[0].line, 3u);
}

// A file out of order (two writers whose clocks disagree) is still read whole, in its own order.
TEST(RecordFiles, AFileOutOfOrderKeepsItsOwnOrderAndLosesNothing) {
    std::istringstream one(recordAt(5, "a5") + recordAt(1, "a1") + recordAt(7, "a7"));
    std::istringstream two(recordAt(2, "b2") + recordAt(6, "b6"));
    std::vector<RecordRow> rows;
    readRecords(
        {{"one", &one}, {"two", &two}}, [&](const RecordRow& row) { rows.push_back(row); },
        [](const RecordProblem&) { ADD_FAILURE(); });
    EXPECT_EQ(slotsOf(rows), (std::vector<std::string>{"b2", "a5", "a1", "b6", "a7"}));
}

// A record whose text holds bytes that are not UTF-8 (a file another program wrote) is kept, the
// bytes shown as U+FFFD in the table and in the CSV alike.
TEST(RecordFiles, InvalidUtf8IsReplacedNotRefused) {
    std::string line = recordAt(1, "left");
    line.replace(line.find("\"left\""), 6, "\"le\xFF\xC3(ft\\u0001\"");
    std::istringstream in(line);
    const RecordTable table = readRecords(in);
    ASSERT_EQ(table.rows.size(), 1u) << (table.badLines.empty() ? "" : table.badLines[0].why);
    std::string text;
    for (const std::string& each : recordsText(table)) {
        text += each + "\n";
    }
    EXPECT_THAT(text, HasSubstr("le\xEF\xBF\xBD\xEF\xBF\xBD(ft?"));
    const std::string csv = recordsCsv(table);
    EXPECT_THAT(csv, HasSubstr("le\xEF\xBF\xBD\xEF\xBF\xBD(ft\x01"));
    EXPECT_EQ(validUtf8(csv), csv);
}

// The tool reads several files, or a folder of them, as one: one table, one summary over all.
TEST(RecordFiles, TheToolReadsSeveralFilesOrAFolderAsOne) {
    TempDir dir;
    fs::create_directories("line");
    std::ofstream("line/station-1.jsonl") << recordAt(1, "s1") << recordAt(5, "s1", Outcome::verifyFailed);
    std::ofstream("line/station-2.jsonl") << recordAt(3, "s2") << "not a record\n";
    std::ofstream("line/notes.txt") << "not read: a folder stands for its *.jsonl files\n";
    for (const char* args : {"line/station-1.jsonl line/station-2.jsonl", "line",
                             "line line/station-2.jsonl ./line/station-1.jsonl"}) {
        SCOPED_TRACE(args);
        const ToolRun run = runTool(std::string("records ") + args);
        EXPECT_EQ(run.status, Exit::ok) << run.err;
        EXPECT_THAT(run.out, HasSubstr("3 records: succeeded 2, verify failed 1; 1 lines not records"));
        EXPECT_THAT(run.err, HasSubstr("line/station-2.jsonl: line 2: not a whole record"));
        EXPECT_LT(run.out.find("/dev/ttyUSB1"), run.out.find("/dev/ttyUSB3"));
        EXPECT_LT(run.out.find("/dev/ttyUSB3"), run.out.find("/dev/ttyUSB5"));
        const ToolRun csv = runTool(std::string("records --csv ") + args);
        EXPECT_EQ(csv.status, Exit::ok) << csv.err;
        EXPECT_EQ(std::count(csv.out.begin(), csv.out.end(), '\n'), 4) << csv.out;
    }
    const ToolRun json = runTool("--json records line");
    EXPECT_THAT(json.out, HasSubstr(R"({"event":"problem","file":"line/station-2.jsonl","line":2,)"));
    EXPECT_THAT(json.out, HasSubstr(R"("records":3)"));

    fs::create_directories("empty");
    const struct {
        const char* args;
        const char* why;
    } refused[] = {{"records line/station-1.jsonl missing.jsonl", "missing.jsonl: cannot open the file"},
                   {"records empty", "empty: a folder with no record file (*.jsonl) in it"}};
    for (const auto& c : refused) {
        const ToolRun run = runTool(c.args);
        EXPECT_EQ(run.status, Exit::file) << c.args;
        EXPECT_THAT(run.err, HasSubstr(c.why));
        EXPECT_EQ(run.out, "") << "nothing is shown of a set of files that cannot all be read";
    }
}

} // namespace

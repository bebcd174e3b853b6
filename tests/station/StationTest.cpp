#include "StationRig.h"
#include "image/Sha256.h"
#include "sim/ProductionLine.h"
#include "vtc880/DeviceCodes.h"
#include "vtc880/ExitStatus.h"

#include <filesystem>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <map>

using namespace vtc880;

namespace {

using testing::HasSubstr;

std::size_t finishedIn(const RecordingReport& report) {
    return report.results().size();
}

// Boards come and go in socket 1, one board stays in socket 2: each appearance is updated once, and
// the board that stays is never updated again, however long the station watches it.
TEST(Station, UpdatesEachArrivalOnceAndNeverABoardThatStayed) {
    Bench bench;
    sim::Config lineConfig;
    lineConfig.linkPath = bench.socket(1);
    lineConfig.eraseTimeMs = 20;
    lineConfig.line.unplugAfterFinish = true;
    lineConfig.line.boards = 3;
    sim::ProductionLine line(lineConfig);
    sim::Config stays;
    stays.eraseTimeMs = 20;
    const auto staying = bench.plug(2, stays);

    RecordingReport report;
    StationRun run(bench.settings({{"A", 1}, {"B", 2}}), report);
    ASSERT_TRUE(line.start()) << line.error();
    ASSERT_TRUE(report.waitFor([&] { return line.done() && finishedIn(report) == 4; }, 60s))
        << report.lines().size();
    std::this_thread::sleep_for(1500ms); // many looks at the folders, with the board still in socket 2
    run.requestStop();
    EXPECT_EQ(run.join(), Exit::ok);

    for (const sim::Board& board : line.boards()) {
        EXPECT_EQ(framesOf(board.frames, Code::EraseAll), 1u) << "board " << board.number;
        EXPECT_EQ(framesOf(board.frames, Code::Finish), 1u) << "board " << board.number;
    }
    EXPECT_EQ(framesOf(staying->frameCodes(), Code::EraseAll), 1u);
    EXPECT_TRUE(holdsTestImage(*staying, 0));
    EXPECT_EQ(report.count("start A"), 3u);
    EXPECT_EQ(report.count("start B"), 1u);

    const std::vector<Json> records = readRecordLines(bench.records);
    ASSERT_EQ(records.size(), 4u);
    std::map<std::string, int> perSlot;
    for (const Json& record : records) {
        ++perSlot[field(record, "slot")];
        EXPECT_EQ(field(record, "outcome"), "succeeded");
        EXPECT_EQ(field(record, "exit"), "0");
        EXPECT_EQ(field(record, "state"), "updated");
        EXPECT_EQ(field(record, "operation"), "update");
        EXPECT_THAT(field(record, "by_path"), HasSubstr("usb-0:1."));
        EXPECT_EQ(field(record, "image"), bench.image) << "the file given, not the station's private copy";
        EXPECT_EQ(field(record, "image_version"), "2.1.0");
        EXPECT_EQ(field(record, "bytes_programmed"), "555");
    }
    EXPECT_EQ(perSlot, (std::map<std::string, int>{{"A", 3}, {"B", 1}}));
    const std::optional<StationSummary> summary = report.summaryGiven();
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->all.done, 4u);
    EXPECT_EQ(summary->slots[0].second.done, 3u);
}

struct FailingBoard {
    const char* name;
    std::function<void(sim::Config&)> fault;
    const char* outcome;
    int exit;
    const char* state; // what the device holds afterwards
};

// Boards that fail in every way a device can: each is recorded once with its class, its exit code
// and its state, is not tried again while it stays, and is counted by class in the summary.
TEST(Station, RecordsAFailingBoardWithItsClassAndDoesNotRetryIt) {
    const std::vector<FailingBoard> boards{
        {"badCell", [](sim::Config& c) { c.corruptChunk = 1; }, "verify_failed", 8,
         "programmed_not_finished"},
        {"eraseRefused", [](sim::Config& c) { c.errorOnErase = true; }, "erase_failed", 6, "in_update_mode"},
        {"chunkRefused", [](sim::Config& c) { c.errorOnChunk = 2; }, "programming_failed", 7,
         "partly_programmed"},
        {"silent", [](sim::Config& c) { c.silent = true; }, "no_answer", 5, "in_update_mode"},
    };
    Bench bench;
    std::vector<std::pair<std::string, int>> slots;
    std::vector<std::unique_ptr<sim::SimulatedDevice>> devices;
    for (std::size_t i = 0; i < boards.size(); ++i) {
        sim::Config config;
        config.eraseTimeMs = 20;
        boards[i].fault(config);
        devices.push_back(bench.plug(int(i) + 1, config));
        slots.emplace_back(boards[i].name, int(i) + 1);
    }
    RecordingReport report;
    StationRun run(bench.settings(slots), report);
    ASSERT_TRUE(report.waitFor([&] { return finishedIn(report) == boards.size(); }, 60s));
    std::this_thread::sleep_for(1s);
    run.requestStop();
    EXPECT_EQ(run.join(), Exit::ok);
    EXPECT_EQ(finishedIn(report), boards.size()) << "a failed board that stays is not tried again";

    const std::vector<Json> records = readRecordLines(bench.records);
    ASSERT_EQ(records.size(), boards.size());
    for (const FailingBoard& board : boards) {
        const auto record = std::find_if(records.begin(), records.end(),
                                         [&](const Json& r) { return field(r, "slot") == board.name; });
        ASSERT_NE(record, records.end()) << board.name;
        EXPECT_EQ(field(*record, "outcome"), board.outcome) << board.name;
        EXPECT_EQ(field(*record, "exit"), std::to_string(board.exit)) << board.name;
        EXPECT_EQ(field(*record, "state"), board.state) << board.name;
    }
    const std::optional<StationSummary> summary = report.summaryGiven();
    ASSERT_TRUE(summary);
    EXPECT_EQ(summary->all.done, 0u);
    EXPECT_EQ(summary->all.failed, (std::map<Outcome, std::size_t>{{Outcome::verifyFailed, 1},
                                                                   {Outcome::eraseFailed, 1},
                                                                   {Outcome::programmingFailed, 1},
                                                                   {Outcome::noAnswer, 1}}));
}

// Put in place as an editor or a build would: whole, under another name, then renamed.
void replaceImage(const Bench& bench, const std::function<void(const std::string&)>& write) {
    const std::string temporary = bench.image + ".tmp";
    write(temporary);
    std::filesystem::rename(temporary, bench.image);
}

// The image is read again when the file changes: a bad one stops the station taking boards (and it
// says so); a good one is taken up, and the records name it.
TEST(Station, ChecksAChangedImageAgainAndTakesNoBoardWhileItIsBad) {
    Bench bench;
    RecordingReport report;
    StationRun run(bench.settings({{"A", 1}}), report);
    ASSERT_TRUE(report.waitFor([&] { return report.seen("watching"); }));
    EXPECT_TRUE(report.seen("image usable 2.1.0"));

    replaceImage(bench, [](const std::string& path) {
        std::ofstream(path, std::ios::binary)
            << std::string("\x10\x00\x00\x00\x00\x01", 6); // cut inside a record
    });
    ASSERT_TRUE(report.waitFor([&] { return report.seen("image refused"); }, 10s));
    sim::Config config;
    config.eraseTimeMs = 20;
    const auto board = bench.plug(1, config);
    ASSERT_TRUE(report.waitFor([&] { return report.seen("arrived A"); }, 10s));
    std::this_thread::sleep_for(1s);
    EXPECT_FALSE(report.seen("start A")) << "a board was taken while the image was bad";
    EXPECT_TRUE(board->frameCodes().empty());

    replaceImage(bench, [](const std::string& path) { writeTestImage(path, 3, 9); });
    ASSERT_TRUE(report.waitFor([&] { return finishedIn(report) == 1; }, 30s));
    EXPECT_TRUE(report.seen("image usable 3.1.9"));
    EXPECT_EQ(report.results()[0].result.outcome, Outcome::succeeded);
    EXPECT_TRUE(holdsTestImage(*board, 9)) << "the board holds the new image";
    run.requestStop();
    EXPECT_EQ(run.join(), Exit::ok);

    const std::vector<Json> records = readRecordLines(bench.records);
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(field(records[0], "image_version"), "3.1.9");
    const std::optional<std::string> bytes = readWholeFile(bench.image);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(field(records[0], "image_sha256"), sha256Hex(*bytes));
}

TEST(Station, RefusesABadImageAtTheStartAndTouchesNothing) {
    Bench bench;
    std::ofstream(bench.image, std::ios::binary | std::ios::trunc) << "junk";
    sim::Config config;
    const auto board = bench.plug(1, config);
    RecordingReport report;
    StationRun run(bench.settings({{"A", 1}}), report);
    EXPECT_EQ(run.join(), Exit::file);
    EXPECT_TRUE(report.seen("image refused"));
    EXPECT_TRUE(board->frameCodes().empty());
    EXPECT_FALSE(std::filesystem::exists(bench.records));
}

// The first stop takes no new board and lets a running update run to its end; the second stops what
// runs at once. Either way the record is written, and whole.
TEST(Station, AFirstStopLetsARunningUpdateFinishAndASecondCutsItShort) {
    for (const int stops : {1, 2}) {
        SCOPED_TRACE(std::to_string(stops) + " stop request(s)");
        Bench bench;
        sim::Config slow;
        slow.eraseTimeMs = 1500; // the erase really takes this long
        const auto board = bench.plug(1, slow);
        RecordingReport report;
        StationRun run(bench.settings({{"A", 1}, {"B", 2}}), report);
        ASSERT_TRUE(report.waitFor([&] { return report.seen("phase A erase"); }));
        for (int i = 0; i < stops; ++i) {
            run.requestStop();
        }
        ASSERT_TRUE(report.waitFor([&] { return report.seen("notice stopping"); }));
        sim::Config late;
        const auto lateBoard = bench.plug(2, late);
        const int status = run.join();

        EXPECT_FALSE(report.seen("start B")) << "a board plugged in after the stop was taken";
        const std::optional<StationSummary> summary = report.summaryGiven();
        ASSERT_TRUE(summary);
        const std::vector<Json> records = readRecordLines(bench.records);
        ASSERT_EQ(records.size(), 1u);
        if (stops == 1) {
            EXPECT_EQ(status, Exit::ok);
            EXPECT_EQ(field(records[0], "outcome"), "succeeded");
            EXPECT_TRUE(board->finished());
            EXPECT_EQ(summary->all.done, 1u);
            EXPECT_FALSE(summary->cutShort);
        } else {
            EXPECT_EQ(status, Exit::interrupt);
            EXPECT_EQ(field(records[0], "outcome"), "interrupted");
            EXPECT_EQ(field(records[0], "exit"), "130");
            EXPECT_FALSE(board->finished());
            EXPECT_TRUE(summary->cutShort);
            EXPECT_EQ(summary->all.failed.at(Outcome::interrupted), 1u);
        }
    }
}

// Two stations, each with its own boards, appending to one record file at the same time: every
// device has its whole record.
TEST(Station, TwoStationsAppendingToOneRecordFileLoseNothing) {
    Bench first;
    Bench second;
    constexpr int boardsEach = 4;
    std::vector<std::unique_ptr<sim::ProductionLine>> lines;
    for (const Bench* bench : {&first, &second}) {
        for (const int socket : {1, 2}) {
            sim::Config config;
            config.linkPath = bench->socket(socket);
            config.eraseTimeMs = 20;
            config.line.unplugAfterFinish = true;
            config.line.boards = boardsEach;
            lines.push_back(std::make_unique<sim::ProductionLine>(config));
        }
    }
    StationSettings one = first.settings({{"one-A", 1}, {"one-B", 2}});
    StationSettings two = second.settings({{"two-A", 1}, {"two-B", 2}});
    two.record = one.record; // the first bench's file
    RecordingReport reportOne;
    RecordingReport reportTwo;
    StationRun runOne(one, reportOne);
    StationRun runTwo(two, reportTwo);
    for (const auto& line : lines) {
        ASSERT_TRUE(line->start()) << line->error();
    }
    const auto allDone = [&] {
        return std::all_of(lines.begin(), lines.end(), [](const auto& l) { return l->done(); }) &&
               finishedIn(reportOne) + finishedIn(reportTwo) == 4 * boardsEach;
    };
    ASSERT_TRUE(reportOne.waitFor(allDone, 90s));
    runOne.requestStop();
    runTwo.requestStop();
    EXPECT_EQ(runOne.join(), Exit::ok);
    EXPECT_EQ(runTwo.join(), Exit::ok);

    const std::vector<Json> records = readRecordLines(one.record);
    ASSERT_EQ(records.size(), std::size_t(4 * boardsEach));
    std::map<std::string, int> perSlot;
    for (const Json& record : records) {
        ++perSlot[field(record, "slot")];
        EXPECT_EQ(field(record, "outcome"), "succeeded");
    }
    EXPECT_EQ(
        perSlot,
        (std::map<std::string, int>{
            {"one-A", boardsEach}, {"one-B", boardsEach}, {"two-A", boardsEach}, {"two-B", boardsEach}}));
}

} // namespace

#include "events/Json.h"
#include "records/DeviceRecord.h"
#include "records/JsonReader.h"
#include "records/RecordTable.h"
#include "records/Sha256.h"
#include "text/UtcTime.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

using namespace vtc880;

namespace {

using testing::HasSubstr;
using testing::Not;

TEST(Sha256, KnownDigests) {
    EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 56 bytes: the length no longer fits the first block.
    EXPECT_EQ(sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(sha256Hex(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(IsoUtc, WritesTheMomentInUtcWithMilliseconds) {
    using namespace std::chrono;
    EXPECT_EQ(isoUtc(system_clock::time_point{}), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(
        isoUtc(sys_days{2024y / February / 29} + hours(23) + minutes(59) + seconds(59) + milliseconds(999)),
        "2024-02-29T23:59:59.999Z");
    EXPECT_EQ(isoUtc(sys_days{1969y / December / 31} + hours(23) + milliseconds(5)),
              "1969-12-31T23:00:00.005Z");
}

TEST(JsonReader, ReadsBackWhatTheToolWritesWhateverTheBytes) {
    std::string every;
    for (int c = 1; c < 256; ++c) {
        every += char(c);
    }
    const std::string line = JsonObject().add("text", every).add("n", std::int64_t(-42)).add("x", 2.5).str();
    std::string problem;
    const std::optional<JsonValue> value = parseJson(line, problem);
    ASSERT_TRUE(value) << problem;
    EXPECT_EQ(value->find("text")->string, every);
    EXPECT_EQ(value->find("n")->number, -42);
    EXPECT_EQ(value->find("x")->number, 2.5);
    EXPECT_EQ(value->find("missing"), nullptr);
}

TEST(JsonReader, RefusesAnythingElseWithoutCrashing) {
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    for (const std::string& text :
         {std::string(""), std::string("{"), std::string("{\"a\":}"), std::string("{\"a\":1,}"),
          std::string("[1 2]"), std::string("\"abc"), std::string("\"\\x\""), std::string("\"\\u12\""),
          std::string("\"\\ud800\\u0041\""), std::string("01x"), std::string("-"), std::string("1."),
          std::string("{} {}"), std::string("tru"), std::string("\"a\nb\""), deep}) {
        std::string problem;
        EXPECT_FALSE(parseJson(text, problem)) << text.substr(0, 20);
        EXPECT_FALSE(problem.empty());
    }
    std::string problem;
    const std::optional<JsonValue> pair = parseJson(R"(["\ud83d\ude00", "\u00e9"])", problem);
    ASSERT_TRUE(pair) << problem;
    EXPECT_EQ(pair->array[0].string, "\xF0\x9F\x98\x80");
    EXPECT_EQ(pair->array[1].string, "\xE9") << "the tool's own text is 8-bit";
}

// What a station or update appends, read back as the records command does.
struct Written {
    RunSettings job;
    RunResult result;
    std::string slot;
};

std::string recordFor(const Written& w, const ImageFacts* image) {
    const auto start = std::chrono::system_clock::time_point{} + std::chrono::hours(24 * 365 * 54);
    Port port;
    port.device = w.job.port;
    port.byPath = {"/dev/serial/by-path/pci-0000:00:14.0-usb-0:1.2:1.0-port0"};
    port.usb.vendorId = "0403";
    port.usb.productId = "6001";
    port.usb.serial = "=HYPERLINK(\"x\")";
    return recordLine(
        recordOf(w.job, w.result, start, start + std::chrono::milliseconds(2500), &port, image, w.slot));
}

// A record says what the run reported: the device's state, the bytes the device acknowledged and
// found equal, the time of each phase it entered (null for the others); counts only where the
// operation has them.
TEST(DeviceRecord, CarriesWhatTheRunReported) {
    ImageFacts image;
    image.path = "fw.hex";
    image.bytes = 3279;
    image.dataBytes = 3255;
    image.sha256 = std::string(64, 'c');
    image.version = "2.1.7";
    struct Case {
        Operation operation;
        bool verify;
        Outcome outcome;
        DeviceState state;
        std::uint64_t programmed, verified;
        const char* stateText;
        const char* programmedText;
        const char* verifiedText;
    };
    const Case cases[] = {
        {Operation::update, true, Outcome::succeeded, DeviceState::updated, 3255, 3255, "\"updated\"", "3255",
         "3255"},
        {Operation::update, false, Outcome::succeeded, DeviceState::updated, 3255, 0, "\"updated\"", "3255",
         "null"},
        {Operation::update, true, Outcome::verifyFailed, DeviceState::programmedNotFinished, 3255, 1200,
         "\"programmedNotFinished\"", "3255", "1200"},
        {Operation::update, false, Outcome::portError, DeviceState::untouched, 0, 0, "\"untouched\"", "0",
         "null"},
        {Operation::update, false, Outcome::programFailed, DeviceState::partlyProgrammed, 204, 0,
         "\"partlyProgrammed\"", "204", "null"},
        {Operation::verify, false, Outcome::succeeded, DeviceState::inUpdateMode, 0, 3255, "\"inUpdateMode\"",
         "null", "3255"},
        {Operation::erase, false, Outcome::succeeded, DeviceState::erased, 0, 0, "\"erased\"", "null",
         "null"},
    };
    for (const Case& c : cases) {
        Written w;
        w.job.operation = c.operation;
        w.job.verifyBeforeFinish = c.verify;
        w.job.port = "/dev/ttyUSB0";
        w.result.outcome = c.outcome;
        w.result.report.device.state = c.state;
        w.result.report.device.bytesProgrammed = c.programmed;
        w.result.report.bytesVerified = c.verified;
        w.result.report.times[std::size_t(Phase::speedSwitch)] = std::chrono::milliseconds(1500);
        const std::string line = recordFor(w, &image);
        SCOPED_TRACE(line);
        EXPECT_THAT(line, HasSubstr(std::string("\"state\":") + c.stateText));
        EXPECT_THAT(line, HasSubstr(std::string("\"bytesProgrammed\":") + c.programmedText));
        EXPECT_THAT(line, HasSubstr(std::string("\"bytesVerified\":") + c.verifiedText));
        EXPECT_THAT(line, HasSubstr("\"phaseSeconds\":{\"speedSwitch\":1.500,\"updateMode\":null"));
        EXPECT_THAT(line,
                    HasSubstr(c.operation == Operation::erase ? "\"image\":null" : "\"imageSha256\":\"ccc"));
    }
}

class Records : public testing::Test {
  protected:
    RecordTable table;
    ImageFacts image;

    void SetUp() override {
        image.path = "fw.hex";
        image.sha256 = "0123456789abcdef" + std::string(48, '0');
        image.version = "2.1.7";
        std::string text;
        const auto add = [&](const char* slot, Outcome outcome) {
            Written w;
            w.job.port = "/dev/ttyUSB0";
            w.job.verifyBeforeFinish = true;
            w.result.outcome = outcome;
            w.slot = slot;
            text += recordFor(w, &image) + "\n";
        };
        add("A", Outcome::succeeded);
        add("A", Outcome::verifyFailed);
        text += "{\"format\":\"vtc880-record/1\",\"start\":\"2024-\n"; // cut by a crash
        add("B", Outcome::succeeded);
        text += "{\"someone\":\"else\"}\n\n";
        text += std::string(2 * 1024 * 1024, 'x') + "\n";
        add("B", Outcome::noAnswer);
        std::istringstream in(text);
        table = readRecords(in);
    }

    std::string joined(const std::vector<std::string>& lines) {
        std::string all;
        for (const std::string& line : lines) {
            all += line + "\n";
        }
        return all;
    }
};

TEST_F(Records, BadLinesAreReportedWithTheirNumberAndTheRestIsRead) {
    ASSERT_EQ(table.rows.size(), 4u);
    ASSERT_EQ(table.badLines.size(), 3u);
    EXPECT_EQ(table.badLines[0].line, 3u);
    EXPECT_THAT(table.badLines[0].why, HasSubstr("cut short"));
    EXPECT_EQ(table.badLines[1].line, 5u);
    EXPECT_THAT(table.badLines[1].why, HasSubstr("not a vtc880 device record"));
    EXPECT_EQ(table.badLines[2].line, 7u);
    EXPECT_THAT(table.badLines[2].why, HasSubstr("longer than 1 MiB"));
}

TEST_F(Records, TheSummaryCountsPerOutcomePerSlotAndPerImage) {
    const std::string text = joined(recordsText(table));
    EXPECT_THAT(text, HasSubstr("4 records: succeeded 2, no answer 1, verify failed 1; 3 lines not records"));
    EXPECT_THAT(text, HasSubstr("  A: 2 (succeeded 1, verify failed 1)"));
    EXPECT_THAT(text, HasSubstr("  B: 2 (no answer 1, succeeded 1)"));
    EXPECT_THAT(text, HasSubstr("  fw.hex 2.1.7 sha256 0123456789ab: 4"));
    EXPECT_THAT(text, HasSubstr("update+verify"));
    EXPECT_THAT(text, HasSubstr("2.5"));
    const std::string json = recordsSummaryJson(table).str();
    EXPECT_THAT(json, HasSubstr(R"("slots":{"A":{"succeeded":1,"verify failed":1},"B":)"));
}

TEST_F(Records, CsvHasEveryColumnQuotedWhereNeededAndNoFormulas) {
    const std::string csv = recordsCsv(table);
    std::istringstream lines(csv);
    std::string header;
    std::getline(lines, header);
    EXPECT_EQ(header.substr(0, 16), "start,end,second");
    EXPECT_THAT(header, HasSubstr(",eraseSeconds,"));
    EXPECT_THAT(header, HasSubstr(",bytesProgrammed,bytesVerified,text\r"));
    // The adapter's serial number is the USB device's own text: a spreadsheet must not run it.
    EXPECT_THAT(csv, HasSubstr(",\"'=HYPERLINK(\"\"x\"\")\","));
    EXPECT_THAT(csv, Not(HasSubstr(",=HYPERLINK")));
    EXPECT_THAT(csv, HasSubstr(",2.500,")) << "numbers stay numbers";
    std::size_t rows = 0;
    for (std::string line; std::getline(lines, line);) {
        ++rows;
    }
    EXPECT_EQ(rows, 4u);
}

} // namespace

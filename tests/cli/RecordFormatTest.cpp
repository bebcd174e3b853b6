#include "image/Sha256.h"
#include "text/UtcTime.h"
#include "vtc880/DeviceRecord.h"
#include "vtc880/Json.h"
#include "vtc880/RecordTable.h"

#include <algorithm>
#include <cmath>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <limits>
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

// JSON goes out as the UTF-8 it is; a byte that is not UTF-8 becomes U+FFFD instead of being taken
// for Latin-1, and a time that is not a number is null.
TEST(JsonLine, KeepsUtf8ReplacesInvalidBytesAndNaN) {
    const struct {
        const char* name;
        std::string text;
        std::string written;
    } rows[] = {
        {"accents", "f\xC3\xAFrmw\xC3\xA4re.hex", "\"f\xC3\xAFrmw\xC3\xA4re.hex\""},
        {"wide", "\xE5\x9B\xBA\xE4\xBB\xB6.hex", "\"\xE5\x9B\xBA\xE4\xBB\xB6.hex\""},
        {"invalid byte", "fw\xFF.hex", "\"fw\xEF\xBF\xBD.hex\""},
        {"control", "a\tb\x01", "\"a\\tb\\u0001\""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(jsonLine(Json(row.text)), row.written) << row.name;
    }
    EXPECT_EQ(jsonLine(Json(std::nan(""))), "null");
    EXPECT_EQ(jsonLine(Json(std::numeric_limits<double>::infinity())), "null");
}

// The records reader takes JSON and nothing else: a line that is not, as a JSON parser that is lax
// would read it, is a bad line with its number.
TEST(RecordsReader, RefusesWhatIsNotJson) {
    const std::string deep = std::string(100000, '[') + std::string(100000, ']');
    std::string text;
    const std::vector<std::string> notJson{"{",          "{\"a\":}", "{\"a\":1,}", "[1 2]",
                                           "\"abc",      "\"\\x\"",  "\"\\u12\"",  "{\"format\":\"\\ud800\"}",
                                           "{\"n\":01}", "-",        "{\"n\":1.}", "{} {}",
                                           "tru",        "\"a\nb\"", deep};
    for (const std::string& line : notJson) {
        text += line + "\n";
    }
    std::istringstream in(text);
    const RecordTable table = readRecords(in);
    EXPECT_TRUE(table.rows.empty());
    EXPECT_GE(table.badLines.size(), notJson.size());
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
         "\"programmed_not_finished\"", "3255", "1200"},
        {Operation::update, false, Outcome::portError, DeviceState::untouched, 0, 0, "\"untouched\"", "0",
         "null"},
        {Operation::update, false, Outcome::programmingFailed, DeviceState::partlyProgrammed, 204, 0,
         "\"partly_programmed\"", "204", "null"},
        {Operation::verify, false, Outcome::succeeded, DeviceState::inUpdateMode, 0, 3255,
         "\"in_update_mode\"", "null", "3255"},
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
        EXPECT_THAT(line, HasSubstr(std::string("\"bytes_programmed\":") + c.programmedText));
        EXPECT_THAT(line, HasSubstr(std::string("\"bytes_verified\":") + c.verifiedText));
        EXPECT_THAT(line, HasSubstr("\"phase_seconds\":{\"speed_switch\":1.5,\"update_mode\":null"));
        EXPECT_THAT(line,
                    HasSubstr(c.operation == Operation::erase ? "\"image\":null" : "\"image_sha256\":\"ccc"));
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
        text += "{\"format\":\"vtc880-record/2\",\"start\":\"2024-\n"; // cut by a crash
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
    const std::string json = jsonLine(recordsSummaryJson(table));
    EXPECT_THAT(json, HasSubstr(R"("slots":{"A":{"succeeded":1,"verify_failed":1},"B":)"));
}

TEST_F(Records, CsvHasEveryColumnQuotedWhereNeededAndNoFormulas) {
    const std::string csv = recordsCsv(table);
    std::istringstream lines(csv);
    std::string header;
    std::getline(lines, header);
    EXPECT_EQ(header.substr(0, 30), "format,start,end,wall_seconds,");
    EXPECT_THAT(header, HasSubstr(",phase_seconds.erase,"));
    EXPECT_THAT(header, HasSubstr(",bytes_programmed,bytes_verified,text\r"));
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

// A file a station wrote before the names changed is still read: its fields and values under the
// names of today, what it could not say left empty.
TEST(FirstFormatRecords, AreReadUnderTodaysNames) {
    std::istringstream in(
        R"({"format":"vtc880-record/1","start":"2024-05-01T10:22:33.123Z","end":"2024-05-01T10:22:38.423Z",)"
        R"("seconds":5.300,"host":"line-3","toolVersion":"0.1.0","operation":"update","verify":true,)"
        R"("slot":"left","port":"/dev/ttyUSB0","byId":"","byPath":"/dev/serial/by-path/pci-usb-0:1.1:1.0",)"
        R"("usbVendor":"0403","usbProduct":"6001","usbSerial":"A50285BI","image":"fw.hex","imageBytes":3279,)"
        R"("imageSha256":"abcdef","imageVersion":"2.1.7","outcome":"verify failed","exit":8,)"
        R"("state":"programmedNotFinished","phaseSeconds":{"speedSwitch":2.100,"updateMode":2.300,)"
        R"("erase":0.100,"programming":0.500,"verify":0.300,"finish":null},"bytesProgrammed":3255,)"
        R"("bytesVerified":1200,"text":"the device's memory differs from the image"})"
        "\n");
    const RecordTable table = readRecords(in);
    ASSERT_EQ(table.rows.size(), 1u);
    EXPECT_TRUE(table.badLines.empty());
    const auto cell = [&](const std::string& name) {
        const std::vector<std::string>& columns = recordColumns();
        const auto at = std::find(columns.begin(), columns.end(), name);
        return at == columns.end() ? std::string("(no column)")
                                   : table.rows[0][std::size_t(at - columns.begin())];
    };
    const std::pair<const char*, const char*> expected[] = {
        {"format", "vtc880-record/1"},
        {"wall_seconds", "5.300"},
        {"seconds", ""},
        {"tool_version", "0.1.0"},
        {"verify_before_finish", "true"},
        {"by_path", "/dev/serial/by-path/pci-usb-0:1.1:1.0"},
        {"usb_serial", "A50285BI"},
        {"image_file_bytes", "3279"},
        {"image_sha256", "abcdef"},
        {"image_version", "2.1.7"},
        {"image_bytes", ""},
        {"ok", "false"},
        {"outcome", "verify_failed"},
        {"exit", "8"},
        {"state", "programmed_not_finished"},
        {"phase_seconds.speed_switch", "2.100"},
        {"phase_seconds.update_mode", "2.300"},
        {"phase_seconds.finish", ""},
        {"bytes_programmed", "3255"},
        {"bytes_verified", "1200"},
    };
    for (const auto& [name, value] : expected) {
        EXPECT_EQ(cell(name), value) << name;
    }
    std::string text;
    for (const std::string& line : recordsText(table)) {
        text += line + "\n";
    }
    EXPECT_THAT(text, HasSubstr("1 records: verify failed 1"));
    EXPECT_THAT(text, HasSubstr("update+verify"));
}

} // namespace

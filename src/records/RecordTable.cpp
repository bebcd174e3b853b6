#include "vtc880/RecordTable.h"

#include "records/RecordFields.h"
#include "vtc880/DeviceRecord.h"
#include "vtc880/Fields.h"
#include "vtc880/Outcome.h"
#include "vtc880/PortDiscovery.h"
#include "vtc880/Utf8.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>
#include <system_error>

namespace vtc880 {

namespace {

constexpr std::size_t maxLine = 1024 * 1024;

std::size_t column(const std::string& name) {
    const std::vector<std::string>& columns = recordColumns();
    return std::size_t(std::find(columns.begin(), columns.end(), name) - columns.begin());
}

// A value as a cell: numbers that count as integers, times to the millisecond, nothing for null.
std::string textOf(const Json& value) {
    if (value.is_string()) {
        return value.get<std::string>();
    }
    if (value.is_boolean()) {
        return value.get<bool>() ? "true" : "false";
    }
    if (value.is_number_integer()) {
        return value.dump();
    }
    if (value.is_number()) {
        char text[64];
        std::snprintf(text, sizeof text, "%.3f", value.get<double>());
        return text;
    }
    return {};
}

// Reads up to the next line end; false at the end of the input. A line longer than `maxLine` is
// consumed whole and returned cut, with `tooLong` set.
bool nextLine(std::istream& in, std::string& line, bool& tooLong) {
    line.clear();
    tooLong = false;
    std::streambuf* buffer = in.rdbuf();
    bool any = false;
    for (;;) {
        const int c = buffer->sbumpc();
        if (c == std::char_traits<char>::eof()) {
            return any;
        }
        any = true;
        if (c == '\n') {
            return true;
        }
        if (line.size() < maxLine) {
            line += char(c);
        } else {
            tooLong = true;
        }
    }
}

RecordRow rowOf(const Json& record, bool firstFormat) {
    RecordRow row;
    for (const RecordField& field : recordFields()) {
        row.push_back(textOf(recordValue(field, record, firstFormat)));
    }
    return row;
}

std::string cell(const RecordRow& row, const char* name) {
    const std::size_t at = column(name);
    return at < row.size() ? row[at] : std::string();
}

// The counts of each outcome, most frequent first: "succeeded 10, verify failed 1".
std::string outcomeCounts(const std::map<std::string, std::size_t>& counts) {
    std::vector<std::pair<std::string, std::size_t>> sorted(counts.begin(), counts.end());
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const auto& a, const auto& b) { return a.second > b.second; });
    std::string text;
    for (const auto& [outcome, n] : sorted) {
        const std::optional<Outcome> known = outcomeNamed(outcome);
        text += (text.empty() ? "" : ", ") +
                (known             ? std::string(outcomeText(*known))
                 : outcome.empty() ? "no outcome"
                                   : outcome) +
                " " + std::to_string(n);
    }
    return text;
}

std::string imageKey(const RecordRow& row) {
    const std::string path = cell(row, "image");
    if (path.empty()) {
        return "(no image: erase)";
    }
    const std::string version = cell(row, field::imageVersion);
    return path + (version.empty() ? "" : " " + version) + " sha256 " +
           cell(row, field::imageSha256).substr(0, 12);
}

std::size_t total(const std::map<std::string, std::size_t>& counts) {
    std::size_t n = 0;
    for (const auto& entry : counts) {
        n += entry.second;
    }
    return n;
}

// One input as the merge reads it: the record it holds next, read ahead.
struct Cursor {
    const RecordInput* input = nullptr;
    std::size_t number = 0; // of the last line read
    std::optional<RecordRow> next;
    std::string end; // of `next`: what the merge orders by
};

// Reads `cursor` on to its next record, passing on the lines that are not records.
void advance(Cursor& cursor, const std::function<void(const RecordProblem&)>& onProblem) {
    cursor.next.reset();
    std::string line;
    bool tooLong = false;
    while (nextLine(*cursor.input->in, line, tooLong)) {
        ++cursor.number;
        const auto problem = [&](std::string why) {
            onProblem({cursor.input->name, cursor.number, std::move(why)});
        };
        if (tooLong) {
            problem("not a record: longer than 1 MiB");
            continue;
        }
        if (line.find_first_not_of(" \t\r") == std::string::npos) {
            continue;
        }
        Json value;
        try {
            // Structure is ASCII: replacing invalid bytes keeps the record and never makes one.
            value = Json::parse(validUtf8(line));
        } catch (const Json::parse_error& error) {
            problem(std::string("not a whole record (cut short by a crash, or not JSON): ") + error.what());
            continue;
        }
        const auto format = value.is_object() ? value.find("format") : value.end();
        const bool current = format != value.end() && *format == recordFormat;
        const bool first = format != value.end() && *format == recordFormatV1;
        if (!current && !first) {
            problem("not a vtc880 device record");
            continue;
        }
        cursor.next = rowOf(value, first);
        cursor.end = cell(*cursor.next, "end");
        return;
    }
}

bool looksNumeric(const std::string& text) {
    if (text.empty() || text.find_first_not_of("0123456789.-eE+") != std::string::npos) {
        return false;
    }
    char* end = nullptr;
    std::strtod(text.c_str(), &end);
    return end == text.c_str() + text.size();
}

std::string csvField(const std::string& text) {
    std::string value = text;
    if (!value.empty() && std::string("=+-@\t\r").find(value.front()) != std::string::npos &&
        !looksNumeric(value)) {
        value.insert(value.begin(), '\'');
    }
    if (value.find_first_of(",\"\r\n") == std::string::npos) {
        return value;
    }
    std::string quoted = "\"";
    for (const char c : value) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

Json countsJson(const std::map<std::string, std::size_t>& counts) {
    Json json = Json::object();
    for (const auto& [key, n] : counts) {
        json[key] = n;
    }
    return json;
}

} // namespace

const std::vector<std::string>& recordColumns() {
    static const std::vector<std::string> columns = [] {
        std::vector<std::string> names;
        for (const RecordField& field : recordFields()) {
            names.push_back(field.name);
        }
        return names;
    }();
    return columns;
}

std::vector<std::string> recordFilesOf(const std::vector<std::string>& names, std::string& problem) {
    namespace fs = std::filesystem;
    problem.clear();
    std::vector<std::string> files;
    std::set<std::string> seen;
    const auto add = [&](const std::string& file) {
        std::error_code error;
        const fs::path same = fs::weakly_canonical(file, error);
        if (seen.insert(error ? file : same.string()).second) {
            files.push_back(file);
        }
    };
    for (const std::string& name : names) {
        std::error_code error;
        if (!fs::is_directory(name, error)) {
            add(name);
            continue;
        }
        std::vector<std::string> inFolder;
        for (fs::directory_iterator it(name, error); !error && it != fs::directory_iterator();
             it.increment(error)) {
            std::error_code kind;
            if (it->path().extension() == ".jsonl" && it->is_regular_file(kind)) {
                inFolder.push_back(it->path().string());
            }
        }
        if (error || inFolder.empty()) {
            problem = name + (error ? ": cannot read the folder: " + error.message()
                                    : ": a folder with no record file (*.jsonl) in it");
            return {};
        }
        std::sort(inFolder.begin(), inFolder.end(), naturalLess);
        std::for_each(inFolder.begin(), inFolder.end(), add);
    }
    return files;
}

void readRecords(const std::vector<RecordInput>& inputs,
                 const std::function<void(const RecordRow&)>& onRecord,
                 const std::function<void(const RecordProblem&)>& onProblem) {
    std::vector<Cursor> cursors;
    for (const RecordInput& input : inputs) {
        cursors.push_back({&input, 0, std::nullopt, {}});
        advance(cursors.back(), onProblem);
    }
    for (;;) {
        Cursor* earliest = nullptr;
        for (Cursor& cursor : cursors) {
            if (cursor.next && (earliest == nullptr || cursor.end < earliest->end)) {
                earliest = &cursor;
            }
        }
        if (earliest == nullptr) {
            return;
        }
        onRecord(*earliest->next);
        advance(*earliest, onProblem);
    }
}

void RecordSummary::add(const RecordRow& row) {
    ++count;
    const std::string outcome = cell(row, "outcome");
    ++outcomes[outcome];
    const std::string slot = cell(row, "slot");
    ++slots[slot.empty() ? "(no slot)" : slot][outcome];
    ++images[imageKey(row)][outcome];
}

std::vector<std::string> RecordSummary::lines() const {
    std::vector<std::string> lines;
    lines.push_back(std::to_string(count) + " records" + (count == 0 ? "" : ": " + outcomeCounts(outcomes)) +
                    (problems == 0 ? "" : "; " + std::to_string(problems) + " lines not records"));
    if (!slots.empty()) {
        lines.emplace_back("per slot:");
        for (const auto& [slot, counts] : slots) {
            lines.push_back("  " + slot + ": " + std::to_string(total(counts)) + " (" +
                            outcomeCounts(counts) + ")");
        }
        lines.emplace_back("per image:");
        for (const auto& [image, counts] : images) {
            lines.push_back("  " + image + ": " + std::to_string(total(counts)) + " (" +
                            outcomeCounts(counts) + ")");
        }
    }
    return lines;
}

Json RecordSummary::json() const {
    Json event;
    event[field::event] = event::recordsSummary;
    event[field::records] = count;
    event[field::badLines] = problems;
    event[field::outcomes] = countsJson(outcomes);
    Json& bySlot = event[field::slots] = Json::object();
    for (const auto& [slot, counts] : slots) {
        bySlot[slot] = countsJson(counts);
    }
    Json& byImage = event[field::images] = Json::object();
    for (const auto& [image, counts] : images) {
        byImage[image] = countsJson(counts);
    }
    return event;
}

namespace {

struct Shown {
    const char* field;
    const char* title;
};
const Shown shown[] = {
    {"end", "end (UTC)"},         {field::slot, "slot"},           {field::port, "port"},
    {field::usbSerial, "serial"}, {field::operation, "operation"}, {field::imageVersion, "version"},
    {field::outcome, "outcome"},  {field::state, "state"},         {"wall_seconds", "s"}};
constexpr std::size_t shownCount = sizeof shown / sizeof shown[0];

// In terminal columns, a cell at most this wide: a name in another script lines up as well.
constexpr std::size_t widest = 40;

std::vector<std::string> shownCells(const RecordRow& row) {
    std::vector<std::string> cells;
    for (const auto& [name, title] : shown) {
        std::string value = cell(row, name);
        if (std::string(name) == "end" && value.size() >= 19) {
            value = value.substr(0, 10) + " " + value.substr(11, 8);
        }
        if (std::string(name) == "wall_seconds" && !value.empty()) {
            char text[32];
            std::snprintf(text, sizeof text, "%.1f", std::atof(value.c_str()));
            value = text;
        }
        if (std::string(name) == field::operation && cell(row, field::verifyBeforeFinish) == "true") {
            value += "+verify";
        }
        cells.push_back(value.empty() ? "-" : printable(value));
    }
    return cells;
}

std::string tableLine(const std::vector<std::string>& cells, const std::vector<std::size_t>& widths) {
    std::string text;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const std::string value = headColumns(cells[i], widest);
        text += i + 1 < cells.size() ? padColumns(value, widths[i]) + "  " : value;
    }
    return text;
}

std::vector<std::string> titles() {
    std::vector<std::string> cells;
    for (const auto& [name, title] : shown) {
        cells.emplace_back(title);
    }
    return cells;
}

} // namespace

RecordLayout::RecordLayout() : widths(shownCount, 0) {
    const std::vector<std::string> head = titles();
    for (std::size_t i = 0; i < shownCount; ++i) {
        widths[i] = std::min(columns(head[i]), widest);
    }
}

void RecordLayout::measure(const RecordRow& row) {
    const std::vector<std::string> cells = shownCells(row);
    for (std::size_t i = 0; i < shownCount; ++i) {
        widths[i] = std::max(widths[i], std::min(columns(cells[i]), widest));
    }
}

std::string RecordLayout::header() const {
    return tableLine(titles(), widths);
}

std::string RecordLayout::line(const RecordRow& row) const {
    return tableLine(shownCells(row), widths);
}

std::string recordsCsvHeader() {
    const std::vector<std::string>& names = recordColumns();
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        text += (i > 0 ? "," : "") + names[i];
    }
    return text + "\r\n";
}

std::string recordsCsvLine(const RecordRow& row) {
    std::string text;
    for (std::size_t i = 0; i < recordColumns().size(); ++i) {
        text += (i > 0 ? "," : "") + csvField(i < row.size() ? row[i] : std::string());
    }
    return text + "\r\n";
}

RecordTable readRecords(std::istream& in) {
    RecordTable table;
    readRecords(
        {{"", &in}}, [&](const RecordRow& row) { table.rows.push_back(row); },
        [&](const RecordProblem& problem) { table.badLines.push_back(problem); });
    return table;
}

namespace {

RecordSummary summaryOf(const RecordTable& table) {
    RecordSummary summary;
    for (const RecordRow& row : table.rows) {
        summary.add(row);
    }
    for (std::size_t i = 0; i < table.badLines.size(); ++i) {
        summary.addProblem();
    }
    return summary;
}

} // namespace

std::vector<std::string> recordsText(const RecordTable& table) {
    RecordLayout layout;
    for (const RecordRow& row : table.rows) {
        layout.measure(row);
    }
    std::vector<std::string> lines{layout.header()};
    for (const RecordRow& row : table.rows) {
        lines.push_back(layout.line(row));
    }
    lines.emplace_back();
    for (std::string& line : summaryOf(table).lines()) {
        lines.push_back(std::move(line));
    }
    return lines;
}

Json recordsSummaryJson(const RecordTable& table) {
    return summaryOf(table).json();
}

std::string recordsCsv(const RecordTable& table) {
    std::string text = recordsCsvHeader();
    for (const RecordRow& row : table.rows) {
        text += recordsCsvLine(row);
    }
    return text;
}

} // namespace vtc880

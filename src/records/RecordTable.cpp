#include "vtc880/RecordTable.h"

#include "records/RecordFields.h"
#include "vtc880/DeviceRecord.h"
#include "vtc880/Fields.h"
#include "vtc880/Outcome.h"
#include "vtc880/Utf8.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

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

RecordTable::Row rowOf(const Json& record, bool firstFormat) {
    RecordTable::Row row;
    for (const RecordField& field : recordFields()) {
        row.push_back(textOf(recordValue(field, record, firstFormat)));
    }
    return row;
}

std::string cell(const RecordTable::Row& row, const char* name) {
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

struct Groups {
    std::map<std::string, std::size_t> outcomes;
    std::map<std::string, std::map<std::string, std::size_t>> slots, images;
};

std::string imageKey(const RecordTable::Row& row) {
    const std::string path = cell(row, "image");
    if (path.empty()) {
        return "(no image: erase)";
    }
    const std::string version = cell(row, field::imageVersion);
    return path + (version.empty() ? "" : " " + version) + " sha256 " +
           cell(row, field::imageSha256).substr(0, 12);
}

Groups group(const RecordTable& table) {
    Groups groups;
    for (const RecordTable::Row& row : table.rows) {
        const std::string outcome = cell(row, "outcome");
        ++groups.outcomes[outcome];
        const std::string slot = cell(row, "slot");
        ++groups.slots[slot.empty() ? "(no slot)" : slot][outcome];
        ++groups.images[imageKey(row)][outcome];
    }
    return groups;
}

std::size_t total(const std::map<std::string, std::size_t>& counts) {
    std::size_t n = 0;
    for (const auto& entry : counts) {
        n += entry.second;
    }
    return n;
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

RecordTable readRecords(std::istream& in) {
    RecordTable table;
    std::string line;
    bool tooLong = false;
    for (std::size_t number = 1; nextLine(in, line, tooLong); ++number) {
        if (tooLong) {
            table.badLines.push_back({number, "not a record: longer than 1 MiB"});
            continue;
        }
        if (line.find_first_not_of(" \t\r") == std::string::npos) {
            continue;
        }
        Json value;
        try {
            value = Json::parse(line);
        } catch (const Json::parse_error& error) {
            table.badLines.push_back(
                {number,
                 std::string("not a whole record (cut short by a crash, or not JSON): ") + error.what()});
            continue;
        }
        const auto format = value.is_object() ? value.find("format") : value.end();
        const bool current = format != value.end() && *format == recordFormat;
        const bool first = format != value.end() && *format == recordFormatV1;
        if (!current && !first) {
            table.badLines.push_back({number, "not a vtc880 device record"});
            continue;
        }
        table.rows.push_back(rowOf(value, first));
    }
    return table;
}

std::vector<std::string> recordsText(const RecordTable& table) {
    const std::vector<std::pair<const char*, const char*>> shown{
        {"end", "end (UTC)"},         {field::slot, "slot"},           {field::port, "port"},
        {field::usbSerial, "serial"}, {field::operation, "operation"}, {field::imageVersion, "version"},
        {field::outcome, "outcome"},  {field::state, "state"},         {"wall_seconds", "s"}};
    std::vector<std::vector<std::string>> cells;
    cells.emplace_back();
    for (const auto& [field, title] : shown) {
        cells.back().emplace_back(title);
    }
    for (const RecordTable::Row& row : table.rows) {
        cells.emplace_back();
        for (const auto& [field, title] : shown) {
            std::string value = cell(row, field);
            if (std::string(field) == "end" && value.size() >= 19) {
                value = value.substr(0, 10) + " " + value.substr(11, 8);
            }
            if (std::string(field) == "wall_seconds" && !value.empty()) {
                char text[32];
                std::snprintf(text, sizeof text, "%.1f", std::atof(value.c_str()));
                value = text;
            }
            if (std::string(field) == field::operation && cell(row, field::verifyBeforeFinish) == "true") {
                value += "+verify";
            }
            cells.back().push_back(value.empty() ? "-" : printable(value));
        }
    }
    // In terminal columns, a cell at most this wide: a name in another script lines up as well.
    constexpr std::size_t widest = 40;
    std::vector<std::size_t> widths(shown.size(), 0);
    for (const auto& line : cells) {
        for (std::size_t i = 0; i < line.size(); ++i) {
            widths[i] = std::max(widths[i], std::min(columns(line[i]), widest));
        }
    }
    std::vector<std::string> lines;
    for (const auto& line : cells) {
        std::string text;
        for (std::size_t i = 0; i < line.size(); ++i) {
            const std::string value = headColumns(line[i], widest);
            text += i + 1 < line.size() ? padColumns(value, widths[i]) + "  " : value;
        }
        lines.push_back(text);
    }

    const Groups groups = group(table);
    lines.emplace_back();
    lines.push_back(
        std::to_string(table.rows.size()) + " records" +
        (table.rows.empty() ? "" : ": " + outcomeCounts(groups.outcomes)) +
        (table.badLines.empty() ? "" : "; " + std::to_string(table.badLines.size()) + " lines not records"));
    if (!groups.slots.empty()) {
        lines.emplace_back("per slot:");
        for (const auto& [slot, counts] : groups.slots) {
            lines.push_back("  " + slot + ": " + std::to_string(total(counts)) + " (" +
                            outcomeCounts(counts) + ")");
        }
        lines.emplace_back("per image:");
        for (const auto& [image, counts] : groups.images) {
            lines.push_back("  " + image + ": " + std::to_string(total(counts)) + " (" +
                            outcomeCounts(counts) + ")");
        }
    }
    return lines;
}

Json recordsSummaryJson(const RecordTable& table) {
    const Groups groups = group(table);
    Json event;
    event[field::event] = event::recordsSummary;
    event[field::records] = table.rows.size();
    event[field::badLines] = table.badLines.size();
    event[field::outcomes] = countsJson(groups.outcomes);
    Json& slots = event[field::slots] = Json::object();
    for (const auto& [slot, counts] : groups.slots) {
        slots[slot] = countsJson(counts);
    }
    Json& images = event[field::images] = Json::object();
    for (const auto& [image, counts] : groups.images) {
        images[image] = countsJson(counts);
    }
    return event;
}

std::string recordsCsv(const RecordTable& table) {
    const std::vector<std::string>& columns = recordColumns();
    std::string text;
    for (std::size_t i = 0; i < columns.size(); ++i) {
        if (i > 0) {
            text += ',';
        }
        text += columns[i];
    }
    text += "\r\n";
    for (const RecordTable::Row& row : table.rows) {
        for (std::size_t i = 0; i < columns.size(); ++i) {
            if (i > 0) {
                text += ',';
            }
            text += csvField(i < row.size() ? row[i] : std::string());
        }
        text += "\r\n";
    }
    return text;
}

} // namespace vtc880

#include "records/RecordTable.h"

#include "records/DeviceRecord.h"
#include "records/JsonReader.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace vtc880 {

namespace {

constexpr std::size_t maxLine = 1024 * 1024;

const char* const phaseNames[] = {"speedSwitch", "updateMode", "erase", "programming", "verify", "finish"};

std::size_t column(const std::string& name) {
    const std::vector<std::string>& columns = recordColumns();
    return std::size_t(std::find(columns.begin(), columns.end(), name) - columns.begin());
}

std::string textOf(const JsonValue* value) {
    if (value == nullptr) {
        return {};
    }
    switch (value->type) {
    case JsonValue::Type::string:
        return value->string;
    case JsonValue::Type::boolean:
        return value->boolean ? "true" : "false";
    case JsonValue::Type::number: {
        char text[64];
        const double x = value->number;
        if (std::isfinite(x) && x == std::floor(x) && std::fabs(x) < 1e15) {
            std::snprintf(text, sizeof text, "%lld", static_cast<long long>(x));
        } else {
            std::snprintf(text, sizeof text, "%.3f", x);
        }
        return text;
    }
    default:
        return {};
    }
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

RecordTable::Row rowOf(const JsonValue& record) {
    RecordTable::Row row;
    const JsonValue* phases = record.find("phaseSeconds");
    for (const std::string& name : recordColumns()) {
        const std::string suffix = "Seconds";
        const std::string phase =
            name.size() > suffix.size() && name != "seconds" &&
                    name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0
                ? name.substr(0, name.size() - suffix.size())
                : std::string();
        row.push_back(!phase.empty() ? (phases ? textOf(phases->find(phase)) : std::string())
                                     : textOf(record.find(name)));
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
        text += (text.empty() ? "" : ", ") + (outcome.empty() ? std::string("no outcome") : outcome) + " " +
                std::to_string(n);
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
    const std::string version = cell(row, "imageVersion");
    return path + (version.empty() ? "" : " " + version) + " sha256 " +
           cell(row, "imageSha256").substr(0, 12);
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

// Shown as a person would read it on a terminal: no control characters from the file.
std::string printable(std::string text) {
    for (char& c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            c = '?';
        }
    }
    return text;
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

JsonObject countsJson(const std::map<std::string, std::size_t>& counts) {
    JsonObject json;
    for (const auto& [key, n] : counts) {
        json.add(key, std::int64_t(n));
    }
    return json;
}

} // namespace

const std::vector<std::string>& recordColumns() {
    static const std::vector<std::string> columns = [] {
        std::vector<std::string> names{
            "start", "end",        "seconds",     "host",         "toolVersion", "operation",  "verify",
            "slot",  "port",       "byId",        "byPath",       "usbVendor",   "usbProduct", "usbSerial",
            "image", "imageBytes", "imageSha256", "imageVersion", "outcome",     "exit",       "state"};
        for (const char* phase : phaseNames) {
            names.push_back(std::string(phase) + "Seconds");
        }
        for (const char* name : {"bytesProgrammed", "bytesVerified", "text"}) {
            names.emplace_back(name);
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
        std::string problem;
        const std::optional<JsonValue> value = parseJson(line, problem);
        if (!value) {
            table.badLines.push_back(
                {number, "not a whole record (cut short by a crash, or not JSON): " + problem});
            continue;
        }
        const JsonValue* format = value->find("format");
        if (format == nullptr || format->type != JsonValue::Type::string || format->string != recordFormat) {
            table.badLines.push_back({number, "not a vtc880 device record"});
            continue;
        }
        table.rows.push_back(rowOf(*value));
    }
    return table;
}

std::vector<std::string> recordsText(const RecordTable& table) {
    const std::vector<std::pair<const char*, const char*>> shown{
        {"end", "end (UTC)"},    {"slot", "slot"},           {"port", "port"},
        {"usbSerial", "serial"}, {"operation", "operation"}, {"imageVersion", "version"},
        {"outcome", "outcome"},  {"state", "state"},         {"seconds", "s"}};
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
            if (std::string(field) == "seconds" && !value.empty()) {
                char text[32];
                std::snprintf(text, sizeof text, "%.1f", std::atof(value.c_str()));
                value = text;
            }
            if (std::string(field) == "operation" && cell(row, "verify") == "true") {
                value += "+verify";
            }
            cells.back().push_back(value.empty() ? "-" : printable(value));
        }
    }
    std::vector<std::size_t> widths(shown.size(), 0);
    for (const auto& line : cells) {
        for (std::size_t i = 0; i < line.size(); ++i) {
            widths[i] = std::max(widths[i], std::min<std::size_t>(line[i].size(), 40));
        }
    }
    std::vector<std::string> lines;
    for (const auto& line : cells) {
        std::string text;
        for (std::size_t i = 0; i < line.size(); ++i) {
            std::string value = line[i].substr(0, 40);
            if (i + 1 < line.size()) {
                value.resize(widths[i], ' ');
                value += "  ";
            }
            text += value;
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
            lines.push_back("  " + printable(slot) + ": " + std::to_string(total(counts)) + " (" +
                            outcomeCounts(counts) + ")");
        }
        lines.emplace_back("per image:");
        for (const auto& [image, counts] : groups.images) {
            lines.push_back("  " + printable(image) + ": " + std::to_string(total(counts)) + " (" +
                            outcomeCounts(counts) + ")");
        }
    }
    return lines;
}

JsonObject recordsSummaryJson(const RecordTable& table) {
    const Groups groups = group(table);
    JsonObject slots;
    for (const auto& [slot, counts] : groups.slots) {
        slots.addRaw(slot, countsJson(counts).str());
    }
    JsonObject images;
    for (const auto& [image, counts] : groups.images) {
        images.addRaw(image, countsJson(counts).str());
    }
    return JsonObject()
        .add("event", "summary")
        .add("records", std::int64_t(table.rows.size()))
        .add("badLines", std::int64_t(table.badLines.size()))
        .addRaw("outcomes", countsJson(groups.outcomes).str())
        .addRaw("slots", slots.str())
        .addRaw("images", images.str());
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

#include "BuiltPaths.h"
#include "ChildTool.h"
#include "RunTool.h"
#include "ToolImage.h"
#include "records/RecordFields.h"
#include "sim/SimulatedDevice.h"
#include "vtc880/Fields.h"
#include "vtc880/Json.h"
#include "vtc880/Outcome.h"

#include <algorithm>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

using namespace vtc880;

// The field names of the JSON events and of the records have one definition each (json/Fields.h,
// records/RecordFields.h). These tests hold the README's tables, every line a real run writes and a
// real record to them.

namespace {

struct Documented {
    std::string type;
    Presence presence = Presence::always;
    bool operator==(const Documented& other) const {
        return type == other.type && presence == other.presence;
    }
};
// (command, event) -> field -> its type and presence; the command is "" for the events of update,
// verify and erase, which a station writes too with the fields "in a station".
using Schema = std::map<std::pair<std::string, std::string>, std::map<std::string, Documented>>;

Schema definedSchema() {
    Schema schema;
    for (const EventField& field : eventFields()) {
        schema[{field.command, field.event}][field.name] = {jsonKindName(field.kind), field.presence};
    }
    return schema;
}

std::string unquoted(std::string cell) {
    cell.erase(0, cell.find_first_not_of(' '));
    cell.erase(cell.find_last_not_of(' ') + 1);
    if (cell.size() >= 2 && cell.front() == '`' && cell.back() == '`') {
        return cell.substr(1, cell.size() - 2);
    }
    return cell;
}

std::vector<std::string> cells(const std::string& row) {
    std::vector<std::string> parts;
    std::stringstream in(row.substr(1));
    for (std::string cell; std::getline(in, cell, '|');) {
        parts.push_back(unquoted(cell));
    }
    return parts;
}

Presence presenceOf(const std::string& cell) {
    return cell == "always"         ? Presence::always
           : cell == "in a station" ? Presence::inStation
                                    : Presence::sometimes;
}

// The rows of the tables under a README heading, each as its cells.
std::vector<std::vector<std::string>> readmeRows(const std::string& heading) {
    std::ifstream readme(built::readme());
    std::vector<std::vector<std::string>> rows;
    bool inSection = false;
    for (std::string line; std::getline(readme, line);) {
        if (line.rfind("#", 0) == 0) {
            inSection = line == heading;
            continue;
        }
        if (inSection && line.rfind("| `", 0) == 0) {
            rows.push_back(cells(line));
        }
    }
    return rows;
}

Schema readmeSchema() {
    Schema schema;
    for (const std::vector<std::string>& row : readmeRows("### JSON events")) {
        if (row.size() == 5) { // event, field, type, present, meaning
            schema[{"", row[0]}][row[1]] = {row[2], presenceOf(row[3])};
        } else if (row.size() == 6) { // command, event, field, type, present, meaning
            schema[{row[0], row[1]}][row[2]] = {row[3], presenceOf(row[4])};
        }
    }
    return schema;
}

// Each field of an object and of the objects within it, as "outer.inner", with its type.
void flatten(const Json& object, const std::string& prefix, std::map<std::string, std::string>& fields) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        const std::string name = prefix + it.key();
        const Json& value = *it;
        const char* type = value.is_string()           ? "string"
                           : value.is_boolean()        ? "boolean"
                           : value.is_number_integer() ? "integer"
                           : value.is_number()         ? "number"
                           : value.is_array()          ? "array"
                           : value.is_object()         ? "object"
                                                       : "null";
        fields[name] = type;
        if (value.is_object()) {
            flatten(value, name + ".", fields);
        }
    }
}

// The fields of an object that the definition lists none of, such as the counts of a summary by
// outcome or by slot, are the object's own: their names are data.
bool listed(const std::map<std::string, Documented>& fields, const std::string& field) {
    const std::size_t dot = field.rfind('.');
    if (dot == std::string::npos) {
        return true;
    }
    const std::string within = field.substr(0, dot + 1);
    return std::any_of(fields.begin(), fields.end(),
                       [&](const auto& defined) { return defined.first.rfind(within, 0) == 0; });
}

TEST(EventSchema, TheReadmesTablesAreTheDefinition) {
    const Schema readme = readmeSchema();
    const Schema defined = definedSchema();
    ASSERT_FALSE(readme.empty()) << "no table under ### JSON events";
    for (const auto& [key, fields] : defined) {
        for (const auto& [name, field] : fields) {
            const auto event = readme.find(key);
            ASSERT_NE(event, readme.end()) << "the README has no event " << key.first << " " << key.second;
            const auto row = event->second.find(name);
            EXPECT_NE(row, event->second.end()) << "the README lacks " << key.second << "." << name;
            if (row != event->second.end()) {
                EXPECT_EQ(row->second, field)
                    << key.second << "." << name << ": the README's type or presence";
            }
        }
    }
    for (const auto& [key, fields] : readme) {
        for (const auto& [name, field] : fields) {
            EXPECT_TRUE(defined.count(key) == 1 && defined.at(key).count(name) == 1)
                << "the README lists " << key.second << "." << name << ", which no event has";
        }
    }
}

TEST(RecordSchema, TheReadmesTableIsTheDefinition) {
    std::vector<std::pair<std::string, std::string>> readme;
    for (const std::vector<std::string>& row : readmeRows("### Device records")) {
        if (row.size() == 3) { // field, type, meaning
            readme.emplace_back(row[0], row[1]);
        }
    }
    std::vector<std::pair<std::string, std::string>> defined;
    std::string outer; // of the fields of a field: the README lists it once, before them
    for (const RecordField& field : recordFields()) {
        const std::size_t dot = field.name.find('.');
        if (dot != std::string::npos && field.name.substr(0, dot) != outer) {
            outer = field.name.substr(0, dot);
            defined.emplace_back(outer, "object");
        }
        defined.emplace_back(field.name, jsonKindName(field.kind));
    }
    EXPECT_EQ(readme, defined) << "the README's table of record fields, in order, with their types";
}

// The outcomes are listed once, for the events and the records alike: every one the library has,
// with the exit status it stands for, and nothing else.
TEST(OutcomeTable, TheReadmesTableIsTheLibrarys) {
    std::vector<std::pair<std::string, std::string>> readme;
    for (const std::vector<std::string>& row : readmeRows("#### Outcomes")) {
        readme.emplace_back(row.at(0), row.at(1));
    }
    std::vector<std::pair<std::string, std::string>> defined;
    for (int i = int(Outcome::succeeded); i <= int(Outcome::noWorker); ++i) {
        defined.emplace_back(outcomeName(Outcome(i)), std::to_string(exitCodeFor(Outcome(i))));
    }
    std::sort(readme.begin(), readme.end());
    std::sort(defined.begin(), defined.end());
    EXPECT_EQ(readme, defined);
}

class JsonSchema : public testing::Test {
  protected:
    TempDir dir;
    Schema schema = definedSchema();
    std::set<std::pair<std::string, std::string>> seenEvents;
    std::map<std::pair<std::string, std::string>, std::set<std::string>> seenFields;

    // Every line of standard output is one object whose type and fields the definition lists, with
    // their types, and with every field it says is always there.
    void check(const std::string& command, const std::string& arguments) {
        const ToolRun run = runTool("--json " + arguments);
        ASSERT_FALSE(run.out.empty()) << arguments << ": " << run.err;
        checkLines(command, run.out);
    }

    // A station's own events are in its part of the definition; the events of its updates are the
    // device commands', with the fields "in a station".
    void checkLines(const std::string& command, const std::string& out) {
        std::istringstream lines(out);
        for (std::string line; std::getline(lines, line);) {
            const Json object = Json::parse(line, nullptr, false);
            ASSERT_TRUE(object.is_object()) << "not one JSON object: " << line;
            ASSERT_TRUE(object.contains("event") && object["event"].is_string()) << line;
            const std::string event = object["event"];
            std::pair<std::string, std::string> key{command, event};
            const bool station = command == "station";
            if (station && schema.count(key) == 0 && schema.count({"", event}) == 1) {
                key.first = "";
            }
            ASSERT_EQ(schema.count(key), 1u) << "an event the definition does not list: " << line;
            seenEvents.insert({command, event});
            const auto& fields = schema.at(key);
            std::map<std::string, std::string> shape;
            flatten(object, "", shape);
            for (const auto& [field, type] : shape) {
                if (field == "event" || !listed(fields, field)) {
                    continue;
                }
                ASSERT_EQ(fields.count(field), 1u) << "field " << field << " is not defined: " << line;
                EXPECT_EQ(fields.at(field).type, type) << field << " in " << line;
                EXPECT_TRUE(station || fields.at(field).presence != Presence::inStation)
                    << field << " outside a station: " << line;
                seenFields[{command, event}].insert(field);
            }
            for (const auto& [field, defined] : fields) {
                if (defined.presence == Presence::always ||
                    (station && defined.presence == Presence::inStation)) {
                    EXPECT_EQ(shape.count(field), 1u) << field << " missing: " << line;
                }
            }
        }
    }
};

// The device commands' events: every type and field of the definition shows up in some run, as
// defined; a field nothing writes any more would be a definition that lies.
TEST_F(JsonSchema, DeviceEventsAreTheDefinition) {
    ASSERT_TRUE(writeToolImage("fw.hex", 10000)); // a second of programming: the speed is measured
    const std::string fast = " --simulate --no-speed-switch --erase-time-ms 50";
    check("", "update fw.hex --simulate --verify --line-model --erase-time-ms 50");
    check("", "update fw.hex" + fast + " --error-on-chunk 2");
    check("", "update fw.hex --verify" + fast + " --corrupt-chunk 2");
    check("", "update fw.hex" + fast + " --error-on-erase");
    check("", "erase --port A --port B" + fast);
    check("", "update missing.hex --port /dev/vtc880-no-such-port");
    check("", "verify fw.hex --port /dev/vtc880-no-such-port --no-speed-switch");
    for (const auto& [key, fields] : schema) {
        if (!key.first.empty()) {
            continue;
        }
        EXPECT_EQ(seenEvents.count(key), 1u) << "no run wrote " << key.second;
        for (const auto& [field, defined] : fields) {
            if (defined.presence != Presence::inStation) {
                EXPECT_EQ(seenFields[key].count(field), 1u) << "no run wrote " << key.second << "." << field;
            }
        }
    }
}

// A station over a folder standing for /dev, with a board that updates and leaves and one that
// refuses a chunk: its own events are its definition, its updates' events the device commands' with
// the slot, and every field the station writes shows up.
TEST_F(JsonSchema, StationEventsAreTheDefinition) {
    ASSERT_TRUE(writeToolImage("fw.hex"));
    const std::filesystem::path sockets = dir.path() / "dev" / "serial" / "by-path";
    std::filesystem::create_directories(sockets);
    const auto board = [&](int socket, int errorOnChunk) {
        sim::Config config;
        config.eraseTimeMs = 50;
        config.initialSpeed = 115200;
        config.errorOnChunk = errorOnChunk;
        config.linkPath =
            (sockets / ("pci-0000:00:14.0-usb-0:1." + std::to_string(socket) + ":1.0-port0")).string();
        auto device = std::make_unique<sim::SimulatedDevice>(config);
        EXPECT_TRUE(device->start()) << device->startError();
        return device;
    };
    auto good = board(1, -1);
    const auto bad = board(2, 2);
    ChildTool station = ChildTool::onPipe(
        {"--json", "station", "fw.hex", "--slot", "A=path:*usb-0:1.1:*", "--slot", "B=path:*usb-0:1.2:*",
         "--dev-dir", (dir.path() / "dev").string(), "--no-speed-switch", "--verify", "--settle-ms", "0"},
        (dir.path() / "station.err").string());
    ASSERT_TRUE(station.started());
    ASSERT_TRUE(station.readUntilSeen("\"event\":\"result\"", 2)) << station.output;
    good.reset(); // pulled out
    ASSERT_TRUE(station.readUntilSeen("\"event\":\"departure\"", 1)) << station.output;
    station.signal(SIGINT);
    EXPECT_TRUE(station.readToEnd()) << station.output;
    EXPECT_EQ(station.wait(), 0) << station.output;
    checkLines("station", station.output);
    check("station", "station missing.hex --slot A=path:x --dev-dir dev");

    for (const auto& [key, fields] : schema) {
        const bool shared = key.first.empty();
        if (key.first != "station" && !shared) {
            continue;
        }
        const std::pair<std::string, std::string> seen{"station", key.second};
        EXPECT_EQ(seenEvents.count(seen), 1u) << "no station wrote " << key.second;
        for (const auto& [field, defined] : fields) {
            const bool mayBeAbsent = defined.presence == Presence::sometimes && shared;
            if (!mayBeAbsent) {
                EXPECT_EQ(seenFields[seen].count(field), 1u)
                    << "no station wrote " << key.second << "." << field;
            }
        }
    }
}

TEST_F(JsonSchema, OtherCommandsEventsAreTheDefinition) {
    ASSERT_TRUE(writeToolImage("fw.hex"));
    writeFile("src.bin", {1, 2, 3, 4});
    writeText("r.ini",
              "[VERSION]\nVALUE=1.2.3\n[INPUT]\nSOURCE_1=src.bin\nADDRESS_1=100\n[RESULT]\nVALUE=out.hex\n");
    check("info", "info fw.hex");
    check("info", "info missing.hex");
    check("pack", "pack r.ini");
    check("pack", "pack missing.ini");
    const ToolRun ports = runTool("ports");
    if (ports.out.find("no serial ports found") == std::string::npos) {
        check("ports", "ports");
    }
    ASSERT_EQ(
        runTool("update fw.hex --simulate --no-speed-switch --erase-time-ms 20 --record r.jsonl").status, 0);
    writeText("r.jsonl", slurp("r.jsonl") + "{cut short\n");
    check("records", "records r.jsonl");
    for (const char* command : {"info", "pack", "records"}) {
        for (const auto& [key, fields] : schema) {
            if (key.first != command) {
                continue;
            }
            for (const auto& [field, defined] : fields) {
                EXPECT_EQ(seenFields[key].count(field), 1u)
                    << command << " never wrote " << key.second << "." << field;
            }
        }
    }
}

// A record a real run appends holds every field of the definition, in its order, with its type (or
// null, where the field may be), and nothing else.
TEST_F(JsonSchema, ARealRecordIsTheDefinition) {
    ASSERT_TRUE(writeToolImage("fw.hex"));
    for (const char* operation : {"update fw.hex --verify", "erase"}) {
        std::filesystem::remove("r.jsonl");
        ASSERT_EQ(runTool(std::string(operation) +
                          " --simulate --no-speed-switch --erase-time-ms 20 --record r.jsonl")
                      .status,
                  0)
            << operation;
        const Json record = Json::parse(slurp("r.jsonl"));
        std::vector<std::string> names;
        std::map<std::string, std::string> shape;
        flatten(record, "", shape);
        for (auto it = record.begin(); it != record.end(); ++it) {
            if (it->is_object()) {
                for (auto inner = it->begin(); inner != it->end(); ++inner) {
                    names.push_back(it.key() + "." + inner.key());
                }
            } else {
                names.push_back(it.key());
            }
        }
        std::vector<std::string> defined;
        for (const RecordField& field : recordFields()) {
            defined.push_back(field.name);
            const std::string type = shape[field.name];
            EXPECT_TRUE(type == jsonKindName(field.kind) || (field.nullable && type == "null"))
                << operation << ": " << field.name << " is " << type;
        }
        EXPECT_EQ(names, defined) << operation;
    }
}

} // namespace

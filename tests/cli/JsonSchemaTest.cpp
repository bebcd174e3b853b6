#include "ChildTool.h"
#include "JsonShape.h"
#include "RunTool.h"
#include "ToolImage.h"
#include "sim/SimulatedDevice.h"

#include <algorithm>
#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

using namespace vtc880;

namespace {

// One row of the README's tables of JSON events.
struct Documented {
    std::string type;
    bool always = false;
    bool inStation = false; // there in a station's events, and only there
};
// (command, event) -> field -> its row; the command is "" for the device commands' table, whose
// events a station writes too where a field of theirs is "in a station".
using Schema = std::map<std::pair<std::string, std::string>, std::map<std::string, Documented>>;

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

// The tables under "### JSON events", as the README states them.
Schema readmeSchema() {
    std::ifstream readme(README_PATH);
    Schema schema;
    bool inSection = false;
    for (std::string line; std::getline(readme, line);) {
        if (line.rfind("#", 0) == 0) {
            inSection = line == "### JSON events";
            continue;
        }
        if (!inSection || line.rfind("| `", 0) != 0) {
            continue;
        }
        const std::vector<std::string> row = cells(line);
        if (row.size() == 5) { // event, field, type, present, meaning
            schema[{"", row[0]}][row[1]] = {row[2], row[3] == "always", row[3] == "in a station"};
        } else if (row.size() == 6) { // command, event, field, type, present, meaning
            schema[{row[0], row[1]}][row[2]] = {row[3], row[4] == "always", false};
        }
    }
    return schema;
}

// The fields of an object that the table lists none of, such as the counts of a summary by outcome
// or by slot, are the object's own: their names are data.
bool listed(const std::map<std::string, Documented>& fields, const std::string& field) {
    const std::size_t dot = field.rfind('.');
    if (dot == std::string::npos) {
        return true;
    }
    const std::string within = field.substr(0, dot + 1);
    return std::any_of(fields.begin(), fields.end(),
                       [&](const auto& documented) { return documented.first.rfind(within, 0) == 0; });
}

class JsonSchema : public testing::Test {
  protected:
    TempDir dir;
    Schema schema = readmeSchema();
    std::set<std::pair<std::string, std::string>> seenEvents;
    std::map<std::pair<std::string, std::string>, std::set<std::string>> seenFields;

    // Every line of standard output is one object whose type and fields the table lists, with the
    // listed types, and with every field the table says is always there.
    void check(const std::string& command, const std::string& arguments) {
        const ToolRun run = runTool("--json " + arguments);
        ASSERT_FALSE(run.out.empty()) << arguments << ": " << run.err;
        checkLines(command, run.out);
    }

    // A station's own events are in its table; the events of its updates are the device commands',
    // with the fields "in a station".
    void checkLines(const std::string& command, const std::string& out) {
        std::istringstream lines(out);
        for (std::string line; std::getline(lines, line);) {
            const auto shape = JsonShape::of(line);
            ASSERT_TRUE(shape) << "not one JSON object: " << line;
            ASSERT_EQ(shape->count("event"), 1u) << line;
            const std::string event = JsonShape::stringField(line, "event");
            std::pair<std::string, std::string> key{command, event};
            const bool station = command == "station";
            if (station && schema.count(key) == 0 && schema.count({"", event}) == 1) {
                const auto& shared = schema.at({"", event});
                ASSERT_TRUE(std::any_of(shared.begin(), shared.end(),
                                        [](const auto& field) { return field.second.inStation; }))
                    << "a station writes an update's event the README does not give it: " << line;
                key.first = "";
            }
            ASSERT_EQ(schema.count(key), 1u) << "an event the README does not list: " << line;
            seenEvents.insert({command, event});
            const auto& fields = schema.at(key);
            for (const auto& [field, type] : *shape) {
                if (field == "event" || !listed(fields, field)) {
                    continue;
                }
                ASSERT_EQ(fields.count(field), 1u) << "field " << field << " is not in the README: " << line;
                EXPECT_EQ(fields.at(field).type, type) << field << " in " << line;
                EXPECT_TRUE(station || !fields.at(field).inStation)
                    << field << " outside a station: " << line;
                seenFields[{command, event}].insert(field);
            }
            for (const auto& [field, documented] : fields) {
                if (documented.always || (station && documented.inStation)) {
                    EXPECT_EQ(shape->count(field), 1u)
                        << (documented.always ? "always-present " : "a station's ") << field
                        << " missing: " << line;
                }
            }
        }
    }
};

// The device commands' events: every type and field of the table shows up in some run, as listed; a
// listed type or field nothing writes any more would be a table that lies.
TEST_F(JsonSchema, DeviceEventsAreTheReadmesTable) {
    ASSERT_FALSE(schema.empty()) << "no table under ### JSON events";
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
        for (const auto& field : fields) {
            if (!field.second.inStation) {
                EXPECT_EQ(seenFields[key].count(field.first), 1u)
                    << "no run wrote " << key.second << "." << field.first;
            }
        }
    }
}

// A station over a folder standing for /dev, with a board that updates and leaves and one that
// refuses a chunk: its own events are its table, its updates' events the device commands' with the
// slot, and every type and field of its table shows up.
TEST_F(JsonSchema, StationEventsAreTheReadmesTables) {
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
        const bool shared = key.first.empty() && std::any_of(fields.begin(), fields.end(), [](const auto& f) {
                                return f.second.inStation;
                            });
        if (key.first != "station" && !shared) {
            continue;
        }
        const std::pair<std::string, std::string> seen{"station", key.second};
        EXPECT_EQ(seenEvents.count(seen), 1u) << "no station wrote " << key.second;
        for (const auto& [field, documented] : fields) {
            if (!shared || documented.inStation) {
                EXPECT_EQ(seenFields[seen].count(field), 1u)
                    << "no station wrote " << key.second << "." << field;
            }
        }
    }
}

TEST_F(JsonSchema, OtherCommandsEventsAreTheReadmesTable) {
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
    for (const char* command : {"info", "pack"}) {
        const std::pair<std::string, std::string> key{command, "result"};
        for (const auto& [field, documented] : schema.at(key)) {
            EXPECT_EQ(seenFields[key].count(field), 1u) << command << " never wrote " << field;
        }
    }
}

} // namespace

#include "JsonShape.h"
#include "RunTool.h"
#include "ToolImage.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <set>
#include <sstream>

namespace {

// One row of the README's tables of JSON events.
struct Documented {
    std::string type;
    bool always = false;
};
// (command, event) -> field -> its row; the command is "" for the device commands' table.
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
            schema[{"", row[0]}][row[1]] = {row[2], row[3] == "always"};
        } else if (row.size() == 6) { // command, event, field, type, present, meaning
            schema[{row[0], row[1]}][row[2]] = {row[3], row[4] == "always"};
        }
    }
    return schema;
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
        std::istringstream lines(run.out);
        for (std::string line; std::getline(lines, line);) {
            const auto shape = JsonShape::of(line);
            ASSERT_TRUE(shape) << "not one JSON object: " << line;
            ASSERT_EQ(shape->count("event"), 1u) << line;
            const std::pair<std::string, std::string> key{command, JsonShape::stringField(line, "event")};
            ASSERT_EQ(schema.count(key), 1u) << "an event the README does not list: " << line;
            seenEvents.insert(key);
            const auto& fields = schema.at(key);
            for (const auto& [field, type] : *shape) {
                if (field == "event") {
                    continue;
                }
                ASSERT_EQ(fields.count(field), 1u) << "field " << field << " is not in the README: " << line;
                EXPECT_EQ(fields.at(field).type, type) << field << " in " << line;
                seenFields[key].insert(field);
            }
            for (const auto& [field, documented] : fields) {
                if (documented.always) {
                    EXPECT_EQ(shape->count(field), 1u) << "always-present " << field << " missing: " << line;
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
            EXPECT_EQ(seenFields[key].count(field.first), 1u)
                << "no run wrote " << key.second << "." << field.first;
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

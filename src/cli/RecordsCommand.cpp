#include "cli/Subcommands.h"
#include "terminal/Output.h"
#include "vtc880/DeviceRecord.h"
#include "vtc880/ExitStatus.h"
#include "vtc880/Fields.h"
#include "vtc880/RecordTable.h"

#include <cstdio>
#include <fstream>
#include <memory>

namespace vtc880 {

namespace {

struct RecordsOptions {
    std::string file;
    bool csv = false;
};

int run(const RecordsOptions& options, const Output& out) {
    std::ifstream in(options.file, std::ios::binary);
    if (!in) {
        out.problem(options.file + ": cannot open the file");
        return Exit::file;
    }
    const RecordTable table = readRecords(in);
    for (const RecordTable::BadLine& bad : table.badLines) {
        out.problem(options.file + ": line " + std::to_string(bad.line) + ": " + bad.why);
        Json event;
        event[field::event] = event::problem;
        event[field::line] = bad.line;
        event[field::text] = bad.why;
        out.event(event);
    }
    if (options.csv) {
        std::fputs(recordsCsv(table).c_str(), stdout);
        std::fflush(stdout);
        return Exit::ok;
    }
    for (const std::string& line : recordsText(table)) {
        out.say(line);
    }
    out.event(recordsSummaryJson(table));
    return Exit::ok;
}

} // namespace

namespace {

void addRecordsCommand(CLI::App& app, CliContext& context) {
    auto options = std::make_shared<RecordsOptions>();
    CLI::App* records = app.add_subcommand(
        "records", "Show a record file written with --record: a table of the devices and a summary");
    records->add_option("file", options->file, "The record file (JSON Lines)")->required();
    records->add_flag("--csv", options->csv, "Write every field of every record as CSV, for spreadsheets");
    records->callback([&context, options] {
        if (options->csv && context.json) {
            throw CLI::ValidationError("--csv",
                                       "writes CSV, which is not JSON: give --csv or --json, not both");
        }
        context.exitCode = run(*options, Output(context.json));
    });
}

const bool registered = registerCommand(place::records, addRecordsCommand);

} // namespace

} // namespace vtc880

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
    std::vector<std::string> files;
    bool csv = false;
};

// The files, opened; nothing when one cannot be.
std::vector<std::unique_ptr<std::ifstream>> openAll(const std::vector<std::string>& files,
                                                    const Output& out) {
    std::vector<std::unique_ptr<std::ifstream>> streams;
    for (const std::string& file : files) {
        auto in = std::make_unique<std::ifstream>(file, std::ios::binary);
        if (!*in) {
            out.problem(file + ": cannot open the file");
            return {};
        }
        streams.push_back(std::move(in));
    }
    return streams;
}

int run(const RecordsOptions& options, const Output& out) {
    std::string problem;
    const std::vector<std::string> files = recordFilesOf(options.files, problem);
    if (files.empty()) {
        out.problem(problem);
        return Exit::file;
    }
    // Read twice, one record at a time: the table's widths first, then its lines and the summary.
    // Memory stays the same however long the files are.
    std::vector<std::unique_ptr<std::ifstream>> streams = openAll(files, out);
    if (streams.empty()) {
        return Exit::file;
    }
    std::vector<RecordInput> inputs;
    for (std::size_t i = 0; i < files.size(); ++i) {
        inputs.push_back({files[i], streams[i].get()});
    }
    const auto sayProblem = [&out](const RecordProblem& problem) {
        out.problem(problem.file + ": line " + std::to_string(problem.line) + ": " + problem.why);
        Json event;
        event[field::event] = event::problem;
        event[field::file] = problem.file;
        event[field::line] = problem.line;
        event[field::text] = problem.why;
        out.event(event);
    };
    if (options.csv) {
        std::fputs(recordsCsvHeader().c_str(), stdout);
        readRecords(
            inputs, [](const RecordRow& row) { std::fputs(recordsCsvLine(row).c_str(), stdout); },
            sayProblem);
        std::fflush(stdout);
        return Exit::ok;
    }
    RecordLayout layout;
    readRecords(
        inputs, [&layout](const RecordRow& row) { layout.measure(row); }, sayProblem);
    for (const std::unique_ptr<std::ifstream>& in : streams) {
        in->clear();
        in->seekg(0);
    }
    RecordSummary summary;
    out.say(layout.header());
    readRecords(
        inputs,
        [&](const RecordRow& row) {
            out.say(layout.line(row));
            summary.add(row);
        },
        [&summary](const RecordProblem&) { summary.addProblem(); });
    out.say("");
    for (const std::string& line : summary.lines()) {
        out.say(line);
    }
    out.event(summary.json());
    return Exit::ok;
}

} // namespace

namespace {

void addRecordsCommand(CLI::App& app, CliContext& context) {
    auto options = std::make_shared<RecordsOptions>();
    CLI::App* records = app.add_subcommand(
        "records", "Show record files written with --record: a table of the devices and a summary");
    records
        ->add_option("files", options->files,
                     "Record files (JSON Lines), or folders of them (*.jsonl): read as one, in the order the "
                     "records ended")
        ->required();
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

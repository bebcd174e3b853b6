#include "cli/Subcommands.h"
#include "terminal/Output.h"
#include "vtc880/ExitStatus.h"
#include "vtc880/Fields.h"
#include "vtc880/FileCopy.h"
#include "vtc880/Format.h"
#include "vtc880/ImageBuilder.h"
#include "vtc880/ImageCheck.h"
#include "vtc880/ImageFile.h"
#include "vtc880/ImageProblem.h"

#include <cstdio>
#include <memory>
#include <vector>

namespace vtc880 {

namespace {

void addInfoCommand(CLI::App& app, CliContext& context) {
    auto path = std::make_shared<std::string>();
    CLI::App* info = app.add_subcommand("info", "Show the records of a firmware image file and check it");
    info->add_option("image", *path, "The image file")->required();
    info->callback([&context, path] {
        const Output out(context.json);
        // The image is judged by the one check every update makes; the records are listed as far as
        // the file goes, unless there is no file to list.
        FileCopy image;
        const LoadedImage loaded = loadImage(*path, image);
        if (loaded.fault == ImageFault::cannotOpen || loaded.fault == ImageFault::directory) {
            out.problem(*path + ": " + loaded.problem);
            Json event;
            event[field::event] = event::result;
            event[field::ok] = false;
            event[field::problem] = loaded.problem;
            event[field::problems] = {loaded.problem};
            out.event(event);
            context.exitCode = Exit::file;
            return;
        }
        std::string version;
        std::uint64_t total = 0;
        int blocks = 0;
        Json records = Json::array();
        out.say(*path + ":");
        out.say("  offset      word address  byte address  size");
        scanImageFile(*path, FileCopy::maxBlocks, [&](ImageRecord&& record) {
            char line[160];
            std::snprintf(line, sizeof line, "  %-10llu  %-12s  %-12s  %u",
                          static_cast<unsigned long long>(record.offset), hexWord(record.address).c_str(),
                          hexWord(std::uint64_t(record.address) * 2).c_str(), record.size);
            const std::string recordVersion = versionText(record.address, record.size, record.data.get());
            out.say(line + (recordVersion.empty() ? std::string() : "  version " + recordVersion) +
                    (record.size == 0 ? "  (empty: adds no block)" : ""));
            if (version.empty()) {
                version = recordVersion;
            }
            total += record.size;
            blocks += record.size > 0 ? 1 : 0;
            Json entry;
            entry[field::offset] = record.offset;
            entry[field::address] = record.address;
            entry[field::size] = record.size;
            records.push_back(std::move(entry));
        });
        std::vector<std::string> problems;
        if (!loaded.ok()) {
            problems.push_back(loaded.problem);
        }
        for (std::size_t i = 1; i < loaded.blockFaults.size(); ++i) {
            problems.push_back(blockProblem(loaded.blockFaults[i], image));
        }
        out.say("version: " + (version.empty() ? std::string("none (no version block)") : version));
        out.say("total: " + std::to_string(blocks) + (blocks == 1 ? " block, " : " blocks, ") +
                groupedThousands(total) + (total == 1 ? " byte" : " bytes"));
        for (const std::string& problem : problems) {
            out.problem(*path + ": invalid: " + problem);
        }
        if (loaded.ok()) {
            out.say("valid");
        }
        Json event;
        event[field::event] = event::result;
        event[field::ok] = loaded.ok();
        event[field::problem] = loaded.problem;
        event[field::problems] = problems;
        event[field::imageVersion] = version;
        event[field::blocks] = blocks;
        event[field::imageBytes] = total;
        event[field::records] = std::move(records);
        out.event(event);
        context.exitCode = loaded.ok() ? Exit::ok : Exit::file;
    });
}

const bool registered = registerCommand(place::info, addInfoCommand);

} // namespace

} // namespace vtc880

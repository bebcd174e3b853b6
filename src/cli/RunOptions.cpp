#include "cli/RunOptions.h"

#include <vector>

namespace vtc880 {

const LinkEntry& RunOptions::chosenLink() const {
    const LinkEntry* named = linkNamed(link);
    return named != nullptr ? *named : links.front();
}

void addRunOptions(CLI::App& command, RunOptions& options, bool programs, const std::string& devices) {
    if (programs) {
        command.add_flag("--verify", options.verify,
                         "Compare the whole image after the last chunk, before Finish; Finish only if equal");
    }
    std::vector<std::string> names;
    for (const LinkEntry& entry : links) {
        names.emplace_back(entry.name);
    }
    options.link = links.front().name;
    command.add_option("--link", options.link, "How " + devices + " attached: " + linkChoicesText())
        ->check(CLI::IsMember(names))
        ->capture_default_str();
    command.add_flag("--no-speed-switch", options.noSpeedSwitch,
                     "Skip the speed commands: " + devices + " already at 115200");
    command.add_option(
        "--record", options.record,
        "Append one JSON line per device to FILE (locked and flushed: several runs and stations "
        "may share it); vtc880 records FILE shows them");
}

} // namespace vtc880

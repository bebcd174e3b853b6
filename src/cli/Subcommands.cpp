#include "cli/Subcommands.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace vtc880 {

namespace {

// Filled while the program starts, by each command's file.
std::vector<std::pair<int, CommandAdder>>& commands() {
    static std::vector<std::pair<int, CommandAdder>> registered;
    return registered;
}

} // namespace

bool registerCommand(int place, CommandAdder add) {
    commands().emplace_back(place, add);
    return true;
}

void addCommands(CLI::App& app, CliContext& context) {
    std::vector<std::pair<int, CommandAdder>> ordered = commands();
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& [place, add] : ordered) {
        add(app, context);
    }
}

} // namespace vtc880

#include "cli/CommandLine.h"

#include "vtc880/ToolVersion.h"

#include <iostream>
#include <memory>

namespace vtc880 {

namespace {

std::string commandList(const CLI::App& app) {
    std::string list;
    for (const CLI::App* command : app.get_subcommands([](const CLI::App*) { return true; })) {
        list += (list.empty() ? "" : ", ") + command->get_name();
    }
    return list;
}

} // namespace

void addVersionAndHelp(CLI::App& app, const CliContext& context) {
    app.set_version_flag("--version", std::string("vtc880 ") + toolVersion());
    auto name = std::make_shared<std::string>();
    CLI::App* help =
        app.add_subcommand("help", "Show this help, or the help of one command (vtc880 help update)");
    help->add_option("command", *name, "The command to explain");
    help->callback([&app, &context, name] {
        const CLI::App* command = &app;
        if (!name->empty()) {
            const auto named =
                app.get_subcommands([&](const CLI::App* sub) { return sub->get_name() == *name; });
            command = named.empty() ? nullptr : named.front();
        }
        if (command == nullptr) {
            throw CLI::ValidationError("help", "unknown command '" + *name +
                                                   "'; the commands are: " + commandList(app));
        }
        // The tool's own help() would explain the command under way: this one.
        (context.json ? std::cerr : std::cout)
            << command->get_formatter()->make_help(command, command->get_name(), CLI::AppFormatMode::Normal);
    });
}

std::string missingCommandText(const CLI::App& app) {
    if (!app.get_subcommands().empty()) {
        return {};
    }
    const std::vector<std::string> rest = app.remaining();
    const std::string list = "the commands are: " + commandList(app) + " (vtc880 help COMMAND explains one)";
    if (rest.empty()) {
        return "a command is needed; " + list;
    }
    if (rest.front().empty() || rest.front()[0] == '-') {
        return {}; // an unknown option: the parser's own message says which
    }
    return "unknown command '" + rest.front() + "'; " + list;
}

} // namespace vtc880

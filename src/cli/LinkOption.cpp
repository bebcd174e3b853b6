#include "cli/LinkOption.h"

#include <vector>

namespace vtc880 {

void addLinkOption(CLI::App& command, std::string& link, const std::string& devices) {
    std::vector<std::string> names;
    for (const LinkSpec& spec : links) {
        names.emplace_back(spec.name);
    }
    link = links.front().name;
    command.add_option("--link", link, "How " + devices + " attached: " + linkChoicesText())
        ->check(CLI::IsMember(names))
        ->capture_default_str();
}

const LinkSpec& chosenLink(const std::string& link) {
    const LinkSpec* spec = linkNamed(link);
    return spec != nullptr ? *spec : links.front();
}

} // namespace vtc880

#include "vtc880/LinkTable.h"

namespace vtc880 {

const LinkEntry& linkEntry(LinkKind kind) {
    for (const LinkEntry& link : links) {
        if (link.kind == kind) {
            return link;
        }
    }
    return links.front();
}

const LinkEntry* linkNamed(std::string_view name) {
    for (const LinkEntry& link : links) {
        if (name == link.name) {
            return &link;
        }
    }
    return nullptr;
}

std::int32_t secondStageSpeed(std::int32_t firstStageSpeed) {
    for (const LinkEntry& link : links) {
        if (link.initialSpeed == firstStageSpeed) {
            return link.secondStageSpeed;
        }
    }
    return firstStageSpeed;
}

std::string linkChoicesText() {
    std::string text;
    for (std::size_t i = 0; i < links.size(); ++i) {
        text += i == 0 ? "" : i + 1 == links.size() ? " or " : ", ";
        text += std::string(links[i].name) + " (starts at " + std::to_string(links[i].initialSpeed) + ")";
    }
    return text;
}

} // namespace vtc880

#include "app/CommandTail.h"

#include <algorithm>

namespace vtc880 {

std::string commandTail(int argc, const char* const* argv) {
    std::string tail;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) {
            tail += ' ';
        }
        tail += argv[i];
    }
    std::size_t start = 0;
    while (start < tail.size() && static_cast<unsigned char>(tail[start]) <= ' ') {
        ++start;
    }
    return tail.substr(start);
}

EntryPlan splitCommandTail(const std::string& tail) {
    EntryPlan plan;
    std::size_t p = 0;
    while (p < tail.size()) {
        const std::size_t end = std::min(tail.find(' ', p), tail.size());
        std::string word = tail.substr(p, end - p);
        // Exactly one blank is stepped over, so a second blank starts an empty word.
        p = end < tail.size() ? end + 1 : end;
        if (word == "--help") {
            plan.help = true;
        } else if (word == "--version") {
            plan.version = true;
        } else if (word.find(".ini") != std::string::npos) {
            plan.recipes.push_back(std::move(word));
        } else {
            plan.fileName = std::move(word);
        }
    }
    return plan;
}

std::string usageText() {
    return "Usage: vtc880-updater [FIRMWARE]      update mode: a window sends FIRMWARE (default "
           "firmware.hex)\n"
           "       vtc880-updater RECIPE.ini ...  packaging mode: writes the image each recipe describes\n"
           "\n"
           "Words are separated by single blanks. A word that contains \".ini\" is a recipe; the last other\n"
           "word names the firmware file. Any recipe means no window. Packaging reports nothing: vtc880 "
           "pack\n"
           "names every problem. --help and --version print and end.\n";
}

std::string versionText() {
    return std::string("vtc880-updater ") + VTC880_VERSION + "\n";
}

} // namespace vtc880

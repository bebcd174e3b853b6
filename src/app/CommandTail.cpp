#include "app/CommandTail.h"

#include <algorithm>

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
        if (word.find(".ini") != std::string::npos) {
            plan.recipes.push_back(std::move(word));
        } else {
            plan.fileName = std::move(word);
        }
    }
    return plan;
}

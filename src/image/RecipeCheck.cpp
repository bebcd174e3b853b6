#include "image/RecipeCheck.h"

#include <algorithm>

namespace vtc880 {

namespace {

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; };
               return upper(x) == upper(y);
           });
}

bool isRecipeSection(const std::string& name) {
    return sameName(name, "VERSION") || sameName(name, "INPUT") || sameName(name, "RESULT");
}

// The n of "SOURCE_n" or "ADDRESS_n", 0 when `key` is neither. Nine digits at most: numbering stops
// long before, and the number can never overflow.
int sourceKeyNumber(const std::string& key) {
    for (const std::string prefix : {"SOURCE_", "ADDRESS_"}) {
        if (key.size() <= prefix.size() || !sameName(key.substr(0, prefix.size()), prefix)) {
            continue;
        }
        const std::string digits = key.substr(prefix.size());
        if (digits.size() > 9 || digits.front() == '0' ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return 0;
        }
        return std::stoi(digits);
    }
    return 0;
}

bool isRecipeKey(const std::string& section, const std::string& key) {
    return sameName(section, "INPUT") ? sourceKeyNumber(key) > 0 : sameName(key, "VALUE");
}

std::string canonical(const std::string& section) {
    std::string name = section;
    for (char& c : name) {
        if (c >= 'a' && c <= 'z') {
            c = char(c - 'a' + 'A');
        }
    }
    return name;
}

RecipeProblem problemOf(IniLineFault fault) {
    switch (fault) {
    case IniLineFault::tooLong:
        return RecipeProblem::recipeLineTooLong;
    case IniLineFault::controlCharacter:
        return RecipeProblem::controlCharacter;
    case IniLineFault::brokenHeader:
        return RecipeProblem::brokenSection;
    case IniLineFault::noEquals:
        return RecipeProblem::lineWithoutEquals;
    case IniLineFault::outsideSection:
        return RecipeProblem::outsideSection;
    case IniLineFault::commentBehindValue:
        return RecipeProblem::commentBehindValue;
    }
    return RecipeProblem::lineWithoutEquals;
}

} // namespace

std::vector<RecipeNote> checkRecipeText(const IniText& text) {
    std::vector<RecipeNote> notes;
    for (const IniLineProblem& problem : text.problems) {
        RecipeNote note{problemOf(problem.fault)};
        note.text = problem.text;
        note.line = problem.line;
        notes.push_back(note);
    }
    for (std::size_t i = 0; i < text.headers.size(); ++i) {
        const IniHeader& header = text.headers[i];
        RecipeNote note{RecipeProblem::unknownSection};
        note.text = header.name;
        note.line = header.line;
        if (isRecipeSection(header.name)) {
            const auto first =
                std::find_if(text.headers.begin(), text.headers.begin() + std::ptrdiff_t(i),
                             [&](const IniHeader& h) { return sameName(h.name, header.name); });
            if (first == text.headers.begin() + std::ptrdiff_t(i)) {
                continue;
            }
            note.problem = RecipeProblem::repeatedSection;
            note.other = first->line;
        }
        notes.push_back(note);
    }
    for (const IniEntry& entry : text.entries) {
        // The keys of a section that is not the recipe's are lost with it: one note says so.
        if (isRecipeSection(entry.section) && !isRecipeKey(entry.section, entry.key)) {
            RecipeNote note{RecipeProblem::unknownKey};
            note.text = entry.key;
            note.line = entry.line;
            note.otherText = canonical(entry.section);
            notes.push_back(note);
        }
    }
    std::stable_sort(notes.begin(), notes.end(),
                     [](const RecipeNote& a, const RecipeNote& b) { return a.line < b.line; });
    return notes;
}

std::vector<RecipeNote> unreadSourceKeys(const IniText& text, int lastRead) {
    std::vector<RecipeNote> notes;
    // The empty SOURCE_n where the numbering stopped was read; what lies beyond it was not.
    const int stopLine = recipeLine(text, "INPUT", "SOURCE_" + std::to_string(lastRead + 1));
    for (const IniEntry& entry : text.entries) {
        const int number = sameName(entry.section, "INPUT") ? sourceKeyNumber(entry.key) : 0;
        if (number > lastRead && entry.line != stopLine) {
            RecipeNote note{RecipeProblem::keyNeverRead, number, entry.key, entry.line, lastRead};
            notes.push_back(note);
        }
    }
    return notes;
}

int recipeLine(const IniText& text, const std::string& section, const std::string& key) {
    // The Windows reader looks in the first section of a name only.
    const auto header = std::find_if(text.headers.begin(), text.headers.end(),
                                     [&](const IniHeader& h) { return sameName(h.name, section); });
    if (header == text.headers.end()) {
        return 0;
    }
    for (const IniEntry& entry : text.entries) {
        if (entry.sectionLine == header->line && sameName(entry.key, key)) {
            return entry.line;
        }
    }
    return 0;
}

} // namespace vtc880

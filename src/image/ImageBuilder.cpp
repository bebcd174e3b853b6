#include "vtc880/ImageBuilder.h"

#include "image/IniFile.h"
#include "vtc880/BlockCheck.h"
#include "vtc880/ImageFile.h"
#include "vtc880/Utf8.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace vtc880 {

namespace {

// Value lengths as the recipe format has always cut them (buffer sizes, terminator included).
constexpr std::size_t versionLength = 127;
constexpr std::size_t sourceLength = 127;
constexpr std::size_t addressLength = 127;
constexpr std::size_t resultLength = 255;

bool isBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// One "%d": blanks, an optional sign, decimal digits. Only the low 8 bits are kept in the end, so the
// value is accumulated modulo 2^32 and can never overflow.
bool parseDecimal(const std::string& text, std::size_t& pos, std::uint32_t& value) {
    while (pos < text.size() && isBlank(text[pos])) {
        ++pos;
    }
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::size_t start = pos;
    std::uint32_t number = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        number = number * 10 + std::uint32_t(text[pos] - '0');
        ++pos;
    }
    if (pos == start) {
        return false;
    }
    value = negative ? 0u - number : number;
    return true;
}

RecipeProblem problemOf(BlockAddStatus status) {
    switch (status) {
    case BlockAddStatus::tooLarge:
        return RecipeProblem::sourceTooLarge;
    case BlockAddStatus::tableFull:
        return RecipeProblem::tooManyBlocks;
    default:
        return RecipeProblem::sourceMissing;
    }
}

// One to three decimal numbers with a dot between each two, as "%d.%d.%d" reads them without doubt.
bool isVersionText(const std::string& text) {
    int dots = 0;
    std::size_t digits = 0;
    for (const char c : text) {
        if (c >= '0' && c <= '9') {
            ++digits;
        } else if (c == '.' && digits > 0) {
            ++dots;
            digits = 0;
        } else {
            return false;
        }
    }
    return digits > 0 && dots < 3;
}

// Hexadecimal digits only, after an optional 0x.
bool isHexAddressText(const std::string& text) {
    const std::size_t start = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') ? 2 : 0;
    return start < text.size() && std::all_of(text.begin() + std::ptrdiff_t(start), text.end(),
                                              [](char c) { return hexDigit(c) >= 0; });
}

RecipeNote noteAt(RecipeProblem problem, int index, std::string text, int line) {
    RecipeNote note{problem, index, std::move(text)};
    note.line = line;
    return note;
}

// The recipe's own names: the sections VERSION, INPUT and RESULT, each once; the key VALUE in VERSION
// and RESULT; SOURCE_n and ADDRESS_n in INPUT, n a number from 1 without leading zeros. Names match
// without regard to ASCII case, as the reader matches them.

// The recipe's spelling of section `name`; empty for a section that is not the recipe's.
std::string_view recipeSection(std::string_view name) {
    for (const std::string_view known : {"VERSION", "INPUT", "RESULT"}) {
        if (equalsIgnoringAsciiCase(name, known)) {
            return known;
        }
    }
    return {};
}

// The n of "SOURCE_n" or "ADDRESS_n", 0 when `key` is neither. Nine digits at most: numbering stops
// long before, and the number can never overflow.
int sourceKeyNumber(std::string_view key) {
    for (const std::string_view prefix : {"SOURCE_", "ADDRESS_"}) {
        if (key.size() <= prefix.size() || !equalsIgnoringAsciiCase(key.substr(0, prefix.size()), prefix)) {
            continue;
        }
        const std::string_view digits = key.substr(prefix.size());
        if (digits.size() > 9 || digits.front() == '0' ||
            !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
            return 0;
        }
        int number = 0;
        for (const char c : digits) {
            number = number * 10 + (c - '0');
        }
        return number;
    }
    return 0;
}

// `section` as recipeSection() spells it.
bool isRecipeKey(std::string_view section, std::string_view key) {
    return section == "INPUT" ? sourceKeyNumber(key) > 0 : equalsIgnoringAsciiCase(key, "VALUE");
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

// A note, in line order, for every line of the recipe that the scan refused, and for every section or
// key that is not the recipe's.
std::vector<RecipeNote> checkRecipeText(const IniFile& recipe) {
    const IniText& text = recipe.text();
    std::vector<RecipeNote> notes;
    for (const IniLineProblem& problem : text.problems) {
        notes.push_back(noteAt(problemOf(problem.fault), 0, problem.text, problem.line));
    }
    for (const IniHeader& header : text.headers) {
        RecipeNote note = noteAt(RecipeProblem::unknownSection, 0, header.name, header.line);
        if (!recipeSection(header.name).empty()) {
            const IniHeader* first = recipe.header(header.name);
            if (first->line == header.line) {
                continue;
            }
            note.problem = RecipeProblem::repeatedSection;
            note.other = first->line;
        }
        notes.push_back(note);
    }
    for (const IniEntry& entry : text.entries) {
        // The keys of a section that is not the recipe's are lost with it: one note says so.
        const std::string_view section = recipeSection(entry.section);
        if (!section.empty() && !isRecipeKey(section, entry.key)) {
            RecipeNote note = noteAt(RecipeProblem::unknownKey, 0, entry.key, entry.line);
            note.otherText = std::string(section);
            notes.push_back(note);
        }
    }
    std::stable_sort(notes.begin(), notes.end(),
                     [](const RecipeNote& a, const RecipeNote& b) { return a.line < b.line; });
    return notes;
}

// A note for every SOURCE_n and ADDRESS_n with n past `lastRead`: the numbering stopped before them.
std::vector<RecipeNote> unreadSourceKeys(const IniFile& recipe, int lastRead) {
    std::vector<RecipeNote> notes;
    // The empty SOURCE_n where the numbering stopped was read; what lies beyond it was not.
    const IniEntry* stop = recipe.entry("INPUT", "SOURCE_" + std::to_string(lastRead + 1));
    for (const IniEntry& entry : recipe.text().entries) {
        const int number = recipeSection(entry.section) == "INPUT" ? sourceKeyNumber(entry.key) : 0;
        if (number > lastRead && &entry != stop) {
            notes.push_back({RecipeProblem::keyNeverRead, number, entry.key, entry.line, lastRead});
        }
    }
    return notes;
}

// What one recipe build keeps while it reads: the recipe, the notes, and which source each block
// of the image came from (0: the version block), so that block faults can name sources.
struct Build {
    const IniFile& recipe;
    RecipeOutcome& outcome;
    std::vector<int> sourceOfBlock;
    std::vector<std::string> pathOfBlock;

    void note(RecipeNote note) { outcome.problems.push_back(std::move(note)); }

    // A value as the recipe format cuts it to `length` (terminator included); a longer one is noted.
    std::string value(std::string_view section, std::string_view key, std::size_t length, int index) {
        const IniEntry* entry = recipe.entry(section, key);
        if (entry != nullptr && entry->value.size() >= length) {
            note(noteAt(RecipeProblem::valueTooLong, index, std::string(key), entry->line));
        }
        return recipe.value(section, key, length);
    }

    // The line a value is read from, 0 when there is none.
    int line(std::string_view section, std::string_view key) const {
        const IniEntry* entry = recipe.entry(section, key);
        return entry == nullptr ? 0 : entry->line;
    }

    void blockAdded(int source, const std::string& path) {
        sourceOfBlock.push_back(source);
        pathOfBlock.push_back(path);
    }

    void checkBlockList() {
        for (const BlockFault& fault : checkBlocks(outcome.image)) {
            if (fault.kind == BlockFault::Kind::empty) {
                continue; // the version block always holds 4 bytes
            }
            const auto block = std::size_t(fault.block);
            RecipeNote found{fault.kind == BlockFault::Kind::overlap ? RecipeProblem::overlappingBlocks
                                                                     : RecipeProblem::pastLastWord,
                             sourceOfBlock[block], pathOfBlock[block]};
            if (fault.other >= 0) {
                found.other = sourceOfBlock[std::size_t(fault.other)];
                found.otherText = pathOfBlock[std::size_t(fault.other)];
            }
            found.firstWord = fault.firstWord;
            found.lastWord = fault.lastWord;
            note(found);
        }
    }
};

} // namespace

bool preventsWriting(RecipeProblem problem, RecipeReading reading) {
    if (reading == RecipeReading::strict) {
        return true;
    }
    switch (problem) {
    case RecipeProblem::valueTooLong:
    case RecipeProblem::versionNotNumbers:
    case RecipeProblem::addressNotHex:
    case RecipeProblem::overlappingBlocks:
        return false;
    default:
        return true;
    }
}

std::string versionText(std::uint32_t address, std::uint32_t size, const std::uint8_t* data) {
    if (address != versionAddress || size != 4 || data == nullptr || data[3] != 0x56) {
        return {};
    }
    return std::to_string(data[2]) + "." + std::to_string(data[1]) + "." + std::to_string(data[0]);
}

std::string imageVersion(const FileCopy& image) {
    // The packer puts it first; an image put together otherwise may hold it further on.
    for (int b = 0; b < image.count; ++b) {
        const FileBlock& block = image.blocks[std::size_t(b)];
        if (std::string version = versionText(block.address, block.size, block.data.get());
            !version.empty()) {
            return version;
        }
    }
    return {};
}

std::uint32_t versionWord(const std::string& text) {
    std::uint32_t numbers[3] = {0, 0, 0};
    std::size_t pos = 0;
    for (int i = 0; i < 3; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != '.') {
                break;
            }
            ++pos;
        }
        if (!parseDecimal(text, pos, numbers[i])) {
            break;
        }
    }
    return 0x56u << 24 | (numbers[0] & 0xFF) << 16 | (numbers[1] & 0xFF) << 8 | (numbers[2] & 0xFF);
}

std::optional<std::uint32_t> parseHexAddress(const std::string& text, bool& tooLarge) {
    tooLarge = false;
    std::size_t pos = 0;
    while (pos < text.size() && isBlank(text[pos])) {
        ++pos;
    }
    const bool prefixed =
        pos + 2 < text.size() && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X');
    if (prefixed && hexDigit(text[pos + 2]) >= 0) {
        pos += 2;
    }
    std::uint64_t value = 0;
    std::size_t digits = 0;
    for (; pos < text.size() && hexDigit(text[pos]) >= 0; ++pos, ++digits) {
        value = value * 16 + std::uint64_t(hexDigit(text[pos]));
        if (value > 0xFFFFFFFFu) {
            tooLarge = true;
            return std::nullopt;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    return std::uint32_t(value);
}

RecipeOutcome buildImage(const std::string& recipePath, RecipeReading reading,
                         const std::string& resultPath) {
    RecipeOutcome outcome;
    const IniFile recipe(recipePath);
    if (recipe.status() != IniFile::Status::ok) {
        outcome.problems.push_back({recipe.status() == IniFile::Status::tooLarge
                                        ? RecipeProblem::recipeTooLarge
                                        : RecipeProblem::recipeMissing,
                                    0, recipePath});
        return outcome;
    }
    outcome.problems = checkRecipeText(recipe);
    Build build{recipe, outcome, {}, {}};

    FileCopy& image = outcome.image;
    const std::string version = build.value("VERSION", "VALUE", versionLength, 0);
    if (!version.empty() && !isVersionText(version)) {
        build.note(noteAt(RecipeProblem::versionNotNumbers, 0, version, build.line("VERSION", "VALUE")));
    }
    blockAddVersion(image, versionWord(version), versionAddress);
    build.blockAdded(0, {});

    std::uint32_t address = 0;
    int lastRead = 0;
    bool numberingEnded = false;
    for (int n = 1;; ++n) {
        const std::string number = std::to_string(n);
        const std::string source = build.value("INPUT", "SOURCE_" + number, sourceLength, n);
        if (source.empty()) {
            numberingEnded = true;
            break;
        }
        lastRead = n;
        const std::string addressKey = "ADDRESS_" + number;
        const std::string addressText = build.value("INPUT", addressKey, addressLength, n);
        const int addressLine = build.line("INPUT", addressKey);
        bool tooLarge = false;
        const auto parsed = parseHexAddress(addressText, tooLarge);
        if (tooLarge) {
            build.note(noteAt(RecipeProblem::addressTooLarge, n, addressText, addressLine));
        } else if (!addressText.empty() && !isHexAddressText(addressText)) {
            build.note(noteAt(RecipeProblem::addressNotHex, n, addressText, addressLine));
        }
        if (parsed) {
            address = *parsed;
        }
        const BlockAddStatus status = addSourceBlock(image, source, address);
        if (status == BlockAddStatus::ok) {
            build.blockAdded(n, source);
        } else {
            build.note(noteAt(problemOf(status), n, source, build.line("INPUT", "SOURCE_" + number)));
            if (status == BlockAddStatus::tableFull) {
                break;
            }
        }
    }
    if (numberingEnded) {
        for (RecipeNote& note : unreadSourceKeys(recipe, lastRead)) {
            build.note(std::move(note));
        }
    }
    build.checkBlockList();

    outcome.resultPath = resultPath.empty() ? build.value("RESULT", "VALUE", resultLength, 0) : resultPath;
    if (outcome.resultPath.empty()) {
        outcome.problems.push_back({RecipeProblem::noResult, 0, {}});
        return outcome;
    }
    for (const RecipeNote& note : outcome.problems) {
        if (preventsWriting(note.problem, reading)) {
            return outcome;
        }
    }
    if (firmwareCreate(outcome.resultPath, image) != 0) {
        outcome.problems.push_back({RecipeProblem::resultNotWritable, 0, outcome.resultPath});
        return outcome;
    }
    outcome.written = true;
    return outcome;
}

void ExtractIni(const std::string& recipePath) {
    buildImage(recipePath, RecipeReading::lenient);
}

} // namespace vtc880

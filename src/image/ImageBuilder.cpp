#include "image/ImageBuilder.h"

#include "image/BlockCheck.h"
#include "image/ImageFile.h"
#include "image/IniFile.h"
#include "image/IniRules.h"
#include "image/RecipeCheck.h"

#include <algorithm>
#include <cctype>

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

// What one recipe build keeps while it reads: the recipe, the notes, and which source each block
// of the image came from (0: the version block), so that block faults can name sources.
struct Build {
    const IniFile& recipe;
    RecipeOutcome& outcome;
    std::vector<int> sourceOfBlock;
    std::vector<std::string> pathOfBlock;

    void note(RecipeNote note) { outcome.problems.push_back(std::move(note)); }

    // A value as the recipe format cuts it to `length` (terminator included); a longer one is noted.
    // Only from a line the shared scan took: the readers may differ on any other, and this way both
    // systems build the same image and find the same problems.
    std::string value(const std::string& section, const std::string& key, std::size_t length, int index) {
        const int line = recipeLine(recipe.text(), section, key);
        if (line == 0) {
            return {};
        }
        const std::string whole = recipe.value(section, key, iniLongestLine + 1);
        if (whole.size() >= length) {
            note(noteAt(RecipeProblem::valueTooLong, index, key, line));
        }
        return whole.substr(0, length - 1);
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
    const IniText& text = recipe.text();
    outcome.problems = checkRecipeText(text);
    Build build{recipe, outcome, {}, {}};

    FileCopy& image = outcome.image;
    const std::string version = build.value("VERSION", "VALUE", versionLength, 0);
    if (!version.empty() && !isVersionText(version)) {
        build.note(
            noteAt(RecipeProblem::versionNotNumbers, 0, version, recipeLine(text, "VERSION", "VALUE")));
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
        const int addressLine = recipeLine(text, "INPUT", addressKey);
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
            build.note(noteAt(problemOf(status), n, source, recipeLine(text, "INPUT", "SOURCE_" + number)));
            if (status == BlockAddStatus::tableFull) {
                break;
            }
        }
    }
    if (numberingEnded) {
        for (RecipeNote& note : unreadSourceKeys(text, lastRead)) {
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

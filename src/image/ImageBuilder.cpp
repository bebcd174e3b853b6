#include "image/ImageBuilder.h"

#include "image/ImageFile.h"
#include "image/IniFile.h"

#include <cctype>

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

} // namespace

bool preventsWriting(RecipeProblem problem) {
    return problem != RecipeProblem::addressNotHex;
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

RecipeOutcome buildImage(const std::string& recipePath, const std::string& resultPath) {
    RecipeOutcome outcome;
    const IniFile recipe(recipePath);
    if (recipe.status() == IniFile::Status::missing) {
        outcome.problems.push_back({RecipeProblem::recipeMissing, 0, recipePath});
        return outcome;
    }
    if (recipe.status() == IniFile::Status::lineTooLong) {
        outcome.problems.push_back({RecipeProblem::recipeLineTooLong, recipe.problemLine(), recipePath});
        return outcome;
    }

    FileCopy& image = outcome.image;
    blockAddVersion(image, versionWord(recipe.value("VERSION", "VALUE", versionLength)), versionAddress);

    std::uint32_t address = 0;
    for (int n = 1;; ++n) {
        const std::string number = std::to_string(n);
        const std::string source = recipe.value("INPUT", "SOURCE_" + number, sourceLength);
        if (source.empty()) {
            break;
        }
        const std::string addressText = recipe.value("INPUT", "ADDRESS_" + number, addressLength);
        bool tooLarge = false;
        if (const auto parsed = parseHexAddress(addressText, tooLarge)) {
            address = *parsed;
        } else if (tooLarge) {
            outcome.problems.push_back({RecipeProblem::addressTooLarge, n, addressText});
        } else if (!addressText.empty()) {
            outcome.problems.push_back({RecipeProblem::addressNotHex, n, addressText});
        }
        const BlockAddStatus status = addSourceBlock(image, source, address);
        if (status != BlockAddStatus::ok) {
            outcome.problems.push_back({problemOf(status), n, source});
            if (status == BlockAddStatus::tableFull) {
                break;
            }
        }
    }

    outcome.resultPath = resultPath.empty() ? recipe.value("RESULT", "VALUE", resultLength) : resultPath;
    if (outcome.resultPath.empty()) {
        outcome.problems.push_back({RecipeProblem::noResult, 0, {}});
        return outcome;
    }
    for (const RecipeNote& note : outcome.problems) {
        if (preventsWriting(note.problem)) {
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
    buildImage(recipePath);
}

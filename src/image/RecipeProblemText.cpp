#include "vtc880/RecipeProblemText.h"

#include "image/IniRules.h"
#include "vtc880/BlockCheck.h"
#include "vtc880/FileCopy.h"
#include "vtc880/ImageBuilder.h"
#include "vtc880/ImageProblem.h"

#include <filesystem>

namespace vtc880 {

namespace {

std::string quoted(const std::string& text) {
    return "'" + text + "'";
}

std::string sourceName(int number, const std::string& path) {
    return number == 0 ? "the version block" : "SOURCE_" + std::to_string(number) + " " + quoted(path);
}

// What to change when a block is misplaced: the version block's own address is fixed.
std::string moveAdvice(int first, int second) {
    if (first == 0 || second == 0) {
        return "the version block always sits at word " + hexWord(versionAddress) + ": change ADDRESS_" +
               std::to_string(first == 0 ? second : first);
    }
    return "change ADDRESS_" + std::to_string(first) + " or ADDRESS_" + std::to_string(second);
}

} // namespace

std::string recipeProblemText(const RecipeNote& note, const std::string& recipe) {
    const std::string n = std::to_string(note.index);
    const std::string at = note.line > 0 ? recipe + " line " + std::to_string(note.line) + ": " : "";
    switch (note.problem) {
    case RecipeProblem::recipeMissing:
        return "cannot read the recipe " + quoted(recipe) + ": check the path";
    case RecipeProblem::recipeTooLarge:
        return quoted(recipe) + " is larger than " + std::to_string(iniLargestFile / 1024) +
               " KiB, far too large for a recipe: check the path";
    case RecipeProblem::recipeLineTooLong:
        return at + "the line is too long to be read whole: shorten it to at most " +
               std::to_string(iniLongestLine) + " characters (paths and values of at most 126)";
    case RecipeProblem::controlCharacter:
        return at + "the line holds the control character " + note.text + ": save the recipe as plain text";
    case RecipeProblem::brokenSection:
        return at + quoted(note.text) + " is not a section header: write it as [NAME], alone on its line";
    case RecipeProblem::unknownSection:
        return at + "[" + note.text +
               "] is not one of the recipe's sections ([VERSION], [INPUT], [RESULT]): its keys would never "
               "be "
               "read";
    case RecipeProblem::repeatedSection:
        return at + "[" + note.text + "] again (first at line " + std::to_string(note.other) +
               "): keep each section in one piece; the Windows reader never reads the second";
    case RecipeProblem::lineWithoutEquals:
        return at + quoted(note.text) + " is not KEY=value: the line would be dropped";
    case RecipeProblem::outsideSection:
        return at + quoted(note.text) + " stands above the first section header, where nothing reads it";
    case RecipeProblem::commentBehindValue:
        return at + quoted(note.text) +
               " has a comment behind its value, which the Windows reader takes as part of the value: put "
               "the comment on a line of its own";
    case RecipeProblem::unknownKey:
        return at + quoted(note.text) + " is not a key of [" + note.otherText + "] (" +
               (note.otherText == "INPUT" ? "SOURCE_n and ADDRESS_n, numbered from 1" : "VALUE") + ")";
    case RecipeProblem::keyNeverRead:
        return at + note.text + " is never read: the sources stop at SOURCE_" +
               std::to_string(note.other + 1) +
               ", which is missing or empty; number them 1, 2, 3 ... without a gap";
    case RecipeProblem::valueTooLong:
        return at + "the value of " + note.text + " is longer than 126 characters and would be cut";
    case RecipeProblem::versionNotNumbers:
        return at + "VERSION VALUE " + quoted(note.text) +
               " is not numbers and dots: write it as major.minor.patch, such as 2.1.7";
    case RecipeProblem::sourceMissing:
        return at + "SOURCE_" + n + ": cannot read " + quoted(note.text) +
               " (paths are taken from the working folder " + std::filesystem::current_path().string() + ")";
    case RecipeProblem::sourceTooLarge:
        return at + "SOURCE_" + n + ": " + quoted(note.text) + " is larger than 1 MiB (" +
               std::to_string(maxSourceSize) + " bytes), the most one block can hold";
    case RecipeProblem::addressNotHex:
        return at + "ADDRESS_" + n + ": " + quoted(note.text) +
               " is not hexadecimal: write the word address as, for example, 1000 or 0x1000";
    case RecipeProblem::addressTooLarge:
        return at + "ADDRESS_" + n + ": " + quoted(note.text) + " does not fit 32 bits";
    case RecipeProblem::tooManyBlocks:
        return at + "SOURCE_" + n + ": too many blocks: an image holds " +
               std::to_string(FileCopy::maxBlocks) + ", the version block included";
    case RecipeProblem::overlappingBlocks:
        return sourceName(note.index, note.text) + " and " + sourceName(note.other, note.otherText) +
               " both cover words " + hexWord(note.firstWord) + " to " + hexWord(note.lastWord) +
               ", so the device would hold neither right: " + moveAdvice(note.index, note.other);
    case RecipeProblem::pastLastWord:
        return sourceName(note.index, note.text) + " at word " + hexWord(note.firstWord) +
               " runs past the last word " + hexWord(lastDeviceWord) + " (to word " + hexWord(note.lastWord) +
               "), so the device would write its end from word 0 on: change ADDRESS_" + n;
    case RecipeProblem::noResult:
        return "the recipe has no [RESULT] VALUE: name the image with -o";
    case RecipeProblem::resultNotWritable:
        return "cannot write " + quoted(note.text) + ": check that its folder exists and is writable";
    }
    return "unknown problem";
}

} // namespace vtc880

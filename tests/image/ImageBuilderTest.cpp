#include "vtc880/ImageBuilder.h"

#include "TempDir.h"
#include "image/IniFile.h"

#include <gtest/gtest.h>

using namespace vtc880;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes record(std::uint32_t address, const Bytes& bytes) {
    Bytes out;
    for (std::uint32_t v : {std::uint32_t(bytes.size()), address}) {
        for (int i = 0; i < 4; ++i) {
            out.push_back(std::uint8_t(v >> (8 * i)));
        }
    }
    out.insert(out.end(), bytes.begin(), bytes.end());
    return out;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

const Bytes six = pattern(6, 1);
const Bytes odd = pattern(251, 2);
const Bytes hundred = pattern(100, 3);
const Bytes twoHundred = pattern(200, 4);
const Bytes mebibyte = Bytes(maxSourceSize, 0x22);
const Bytes old = {0xDE, 0xAD};

// Which readings write the image: `vtc880 pack` (strict), the updater's packaging mode (lenient).
enum class Writes { both, lenientOnly, neither };

struct Found {
    RecipeProblem problem;
    int line; // the recipe line the note names, 0 for none
    bool operator==(const Found&) const = default;
};

void PrintTo(const Found& f, std::ostream* out) {
    *out << "{problem " << int(f.problem) << ", line " << f.line << "}";
}

struct RecipeCase {
    const char* name;
    std::string recipe;
    Bytes expected; // the image the recipe describes, where it is written
    std::vector<Found> problems;
    Writes writes;
};

// Test names say which case failed; the bytes of the case would say nothing.
void PrintTo(const RecipeCase& c, std::ostream* out) {
    *out << c.name;
}

class Recipe : public testing::TestWithParam<RecipeCase> {
  protected:
    TempDir dir;
};

// One table for every system: this test runs on Linux and on Windows (under Wine), and each case must
// build the same image and find the same problems on both.
// Each case starts with the sources below and an older out.bin, which must stay where nothing may be
// written. The recipe is written byte for byte, so that both systems read the same line ends.
TEST_P(Recipe, WritesTheImageItDescribesOrNothing) {
    const RecipeCase& c = GetParam();
    writeFile("six.bin", six);
    writeFile("odd.bin", odd);
    writeFile("hundred.bin", hundred);
    writeFile("two.bin", twoHundred);
    writeFile("mib.bin", mebibyte);
    writeFile("big.bin", Bytes(maxSourceSize + 1, 0x11));
    writeFile("pack.ini", Bytes(c.recipe.begin(), c.recipe.end()));

    for (const RecipeReading reading : {RecipeReading::strict, RecipeReading::lenient}) {
        const bool strict = reading == RecipeReading::strict;
        SCOPED_TRACE(strict ? "strict (vtc880 pack)" : "lenient (packaging mode)");
        writeFile("out.bin", old);
        const RecipeOutcome outcome = buildImage("pack.ini", reading);

        const bool writes = c.writes == Writes::both || (c.writes == Writes::lenientOnly && !strict);
        EXPECT_EQ(outcome.written, writes);
        const Bytes written = readFile("out.bin");
        EXPECT_TRUE(written == (writes ? c.expected : old))
            << "out.bin holds " << written.size() << " bytes, expected "
            << (writes ? c.expected : old).size();
        std::vector<Found> problems;
        for (const RecipeNote& note : outcome.problems) {
            problems.push_back({note.problem, note.line});
        }
        EXPECT_EQ(problems, c.problems);
    }
}

std::string sources(int count) {
    std::string text = "[INPUT]\n";
    for (int n = 1; n <= count; ++n) {
        text += "SOURCE_" + std::to_string(n) + "=six.bin\nADDRESS_" + std::to_string(n) + "=" +
                std::to_string(n) + "0\n";
    }
    return text;
}

Bytes version(std::uint8_t major, std::uint8_t minor, std::uint8_t patch) {
    return record(0x50002, {patch, minor, major, 0x56});
}

Bytes manySixes(int count) {
    Bytes out = version(1, 0, 0);
    for (int n = 1; n <= count; ++n) {
        out = out + record(std::uint32_t(std::stoul(std::to_string(n) + "0", nullptr, 16)), six);
    }
    return out;
}

const std::string result = "[RESULT]\nVALUE=out.bin\n";
const Bytes none;

using P = RecipeProblem;

INSTANTIATE_TEST_SUITE_P(
    Cases, Recipe,
    testing::Values(
        RecipeCase{"versionAndOneSource",
                   "[VERSION]\nVALUE=1.2.3\n[INPUT]\nSOURCE_1=six.bin\nADDRESS_1=800\n" + result,
                   version(1, 2, 3) + record(0x800, six),
                   {},
                   Writes::both},
        RecipeCase{"versionKeepsLowEightBits",
                   "[VERSION]\nVALUE=258.513.7\n" + result,
                   version(2, 1, 7),
                   {},
                   Writes::both},
        RecipeCase{"missingVersionNumbersAreZero",
                   "[VERSION]\nVALUE=2.1\n" + result,
                   version(2, 1, 0),
                   {},
                   Writes::both},
        RecipeCase{"noVersionAtAll", result, version(0, 0, 0), {}, Writes::both},
        RecipeCase{"namesMatchWithoutCaseAndFirstKeyWins",
                   "[version]\nvalue = 3.4.5 \nVALUE=9.9.9\n[Input]\nsource_1 =  odd.bin  \nAddress_1=0X64\n"
                   "[result]\nValue=out.bin\n",
                   version(3, 4, 5) + record(0x64, odd),
                   {},
                   Writes::both},
        // Recipes written for the Windows reader may quote their values: one matching pair goes.
        RecipeCase{"quotedValuesLoseOnePairOfQuotes",
                   "[VERSION]\nVALUE='1.2.3'\n[INPUT]\nSOURCE_1= \"six.bin\" \nADDRESS_1=\"800\"\n"
                   "[RESULT]\nVALUE=\"out.bin\"\n",
                   version(1, 2, 3) + record(0x800, six),
                   {},
                   Writes::both},
        RecipeCase{"sixtyThreeSourcesFillTheTable",
                   "[VERSION]\nVALUE=1.0.0\n" + sources(63) + result,
                   manySixes(63),
                   {},
                   Writes::both},
        RecipeCase{"overlongCommentIsHarmless",
                   "; " + std::string(500, 'c') + "\n" + result,
                   version(0, 0, 0),
                   {},
                   Writes::both},
        // The Windows reader skips the blanks in front of a line and takes its key; INI readers that
        // take an indented line for more of the value above it would lose SOURCE_2.
        RecipeCase{
            "indentedLinesAreReadAsTheyStand",
            "[VERSION]\n  VALUE=1.2.3\n[INPUT]\nSOURCE_1=six.bin\nADDRESS_1=800\n    SOURCE_2=odd.bin\n"
            "\tADDRESS_2=1000\n  [RESULT]\n  VALUE=out.bin\n",
            version(1, 2, 3) + record(0x800, six) + record(0x1000, odd),
            {},
            Writes::both},
        RecipeCase{"windowsLineEndsAndByteOrderMark",
                   "\xEF\xBB\xBF[VERSION]\r\nVALUE=1.2.3\r\n[INPUT] ; the sources\r\nSOURCE_1=six.bin\r\n"
                   "ADDRESS_1=800\r\n[RESULT]\r\nVALUE=out.bin",
                   version(1, 2, 3) + record(0x800, six),
                   {},
                   Writes::both},
        RecipeCase{"emptySourceEndsTheNumbering",
                   "[INPUT]\nSOURCE_1=six.bin\nSOURCE_2=\n" + result,
                   version(0, 0, 0) + record(0, six),
                   {},
                   Writes::both},
        RecipeCase{"blockEndingOnTheLastWord",
                   "[INPUT]\nSOURCE_1=hundred.bin\nADDRESS_1=FFFFFFCE\n" + result,
                   version(0, 0, 0) + record(0xFFFFFFCE, hundred),
                   {},
                   Writes::both},

        // What the format's own rules answer: the packaging mode follows them, `vtc880 pack` refuses.
        RecipeCase{"missingAddressTakesThePreviousOne",
                   "[INPUT]\nSOURCE_1=six.bin\nADDRESS_1=0x800\nSOURCE_2=odd.bin\n" + result,
                   version(0, 0, 0) + record(0x800, six) + record(0x800, odd),
                   {{P::overlappingBlocks, 0}},
                   Writes::lenientOnly},
        RecipeCase{"addressStopsAtTheFirstNonHexCharacter",
                   "[INPUT]\nSOURCE_1=six.bin\nADDRESS_1=1A0h\n" + result,
                   version(0, 0, 0) + record(0x1A0, six),
                   {{P::addressNotHex, 3}},
                   Writes::lenientOnly},
        RecipeCase{"addressThatIsNotHexKeepsThePreviousOne",
                   "[INPUT]\nSOURCE_1=six.bin\nADDRESS_1=40\nSOURCE_2=odd.bin\nADDRESS_2=zz\n" + result,
                   version(0, 0, 0) + record(0x40, six) + record(0x40, odd),
                   {{P::addressNotHex, 5}, {P::overlappingBlocks, 0}},
                   Writes::lenientOnly},
        RecipeCase{"versionThatIsNotNumbersAndDots",
                   "[VERSION]\nVALUE=2,1,7\n" + result,
                   version(2, 0, 0),
                   {{P::versionNotNumbers, 2}},
                   Writes::lenientOnly},
        RecipeCase{"valueLongerThanItsBufferIsCut",
                   "[INPUT]\nSOURCE_1=six.bin\nADDRESS_1=" + std::string(130, '0') + "1\n" + result,
                   version(0, 0, 0) + record(0, six),
                   {{P::valueTooLong, 3}},
                   Writes::lenientOnly},
        RecipeCase{"sourceOverTheVersionBlock",
                   "[INPUT]\nSOURCE_1=mib.bin\nADDRESS_1=0\n" + result,
                   version(0, 0, 0) + record(0, mebibyte),
                   {{P::overlappingBlocks, 0}},
                   Writes::lenientOnly},

        // A source or a line of the recipe would be lost, or the device would not get what it says.
        RecipeCase{"unmatchedQuotesStay",
                   "[INPUT]\nSOURCE_1=\"six.bin\n" + result,
                   none,
                   {{P::sourceMissing, 2}},
                   Writes::neither},
        RecipeCase{"missingSource",
                   "[INPUT]\nSOURCE_1=six.bin\nSOURCE_2=gone.bin\n" + result,
                   none,
                   {{P::sourceMissing, 3}},
                   Writes::neither},
        RecipeCase{"sourceOverOneMebibyte",
                   "[INPUT]\nSOURCE_1=big.bin\n" + result,
                   none,
                   {{P::sourceTooLarge, 2}},
                   Writes::neither},
        RecipeCase{"sixtyFourSources",
                   "[VERSION]\nVALUE=1.0.0\n" + sources(64) + result,
                   none,
                   {{P::tooManyBlocks, 130}},
                   Writes::neither},
        RecipeCase{"addressBeyond32Bits",
                   "[INPUT]\nSOURCE_1=six.bin\nADDRESS_1=100000000\n" + result,
                   none,
                   {{P::addressTooLarge, 3}},
                   Writes::neither},
        RecipeCase{"noResult", "[VERSION]\nVALUE=1.0.0\n", none, {{P::noResult, 0}}, Writes::neither},
        RecipeCase{"overlongValueLine",
                   "[INPUT]\nSOURCE_1=six.bin\n; " + std::string(300, 'c') +
                       "\nADDRESS_1=" + std::string(300, '0') + "1\n" + result,
                   none,
                   {{P::recipeLineTooLong, 4}},
                   Writes::neither},
        RecipeCase{"gapInTheNumbering",
                   "[INPUT]\nSOURCE_1=six.bin\nADDRESS_1=10\nSOURCE_3=odd.bin\nADDRESS_3=30\n" + result,
                   none,
                   {{P::keyNeverRead, 4}, {P::keyNeverRead, 5}},
                   Writes::neither},
        RecipeCase{"addressWithoutItsSource",
                   "[INPUT]\nSOURCE_1=six.bin\nADDRESS_2=30\n" + result,
                   none,
                   {{P::keyNeverRead, 3}},
                   Writes::neither},
        RecipeCase{"headerWithoutItsClosingBracket",
                   "[VERSION\nVALUE=1.2.3\n[INPUT]\nSOURCE_1=six.bin\n" + result,
                   none,
                   {{P::brokenSection, 1}, {P::outsideSection, 2}},
                   Writes::neither},
        RecipeCase{"headerWithoutItsOpeningBracket",
                   "[VERSION]\nVALUE=1.2.3\nINPUT]\nSOURCE_1=six.bin\n" + result,
                   none,
                   {{P::brokenSection, 3}, {P::unknownKey, 4}},
                   Writes::neither},
        RecipeCase{
            "keysThatAreNotTheRecipes",
            "[INPUT]\nSOURCE_1=six.bin\nSOURCE1=odd.bin\nSORCE_2=odd.bin\nADRESS_1=800\nSOURCE_02=odd.bin\n"
            "[VERSION]\nVERSION=1.2.3\n" +
                result,
            none,
            {{P::unknownKey, 3},
             {P::unknownKey, 4},
             {P::unknownKey, 5},
             {P::unknownKey, 6},
             {P::unknownKey, 8}},
            Writes::neither},
        RecipeCase{"lineWithoutEquals",
                   "[INPUT]\nSOURCE_1=six.bin\nSOURCE_2 odd.bin\n" + result,
                   none,
                   {{P::lineWithoutEquals, 3}},
                   Writes::neither},
        RecipeCase{"keyAboveTheFirstSection",
                   "SOURCE_1=six.bin\n[INPUT]\n" + result,
                   none,
                   {{P::outsideSection, 1}},
                   Writes::neither},
        RecipeCase{"sectionThatIsNotTheRecipes",
                   "[INPTU]\nSOURCE_1=six.bin\n[ INPUT ]\nSOURCE_1=odd.bin\n" + result,
                   none,
                   {{P::unknownSection, 1}, {P::unknownSection, 3}},
                   Writes::neither},
        // The Windows reader never looks at the second; other INI readers merge the two.
        RecipeCase{
            "sectionTwice",
            "[INPUT]\nSOURCE_1=six.bin\n[RESULT]\nVALUE=out.bin\n[input]\nSOURCE_2=odd.bin\nADDRESS_2=100\n",
            none,
            {{P::repeatedSection, 5}, {P::keyNeverRead, 6}, {P::keyNeverRead, 7}},
            Writes::neither},
        // The Windows reader keeps the comment in the value; other INI readers drop it.
        RecipeCase{"commentBehindAValue",
                   "[VERSION]\nVALUE=1.2.3 ; the release\n" + result,
                   none,
                   {{P::commentBehindValue, 2}},
                   Writes::neither},
        // A lone carriage return ends a line for some readers and editors and not for others.
        RecipeCase{"controlCharacterInALine",
                   "[INPUT]\nSOURCE_1=six.bin\rSOURCE_2=odd.bin\n" + result,
                   none,
                   {{P::controlCharacter, 2}},
                   Writes::neither},
        RecipeCase{"blockPastTheLastWord",
                   "[INPUT]\nSOURCE_1=two.bin\nADDRESS_1=FFFFFFCE\n" + result,
                   none,
                   {{P::pastLastWord, 0}},
                   Writes::neither}),
    [](const testing::TestParamInfo<RecipeCase>& info) { return std::string(info.param.name); });

// Both blocks are named, with the words they share.
TEST(RecipeBlocks, OverlapNamesBothSourcesAndTheWords) {
    TempDir dir;
    writeFile("a.bin", pattern(20));
    writeFile("b.bin", pattern(4));
    writeText("pack.ini", "[INPUT]\nSOURCE_1=a.bin\nADDRESS_1=100\nSOURCE_2=b.bin\nADDRESS_2=108\n" + result);
    const RecipeOutcome outcome = buildImage("pack.ini", RecipeReading::strict);
    ASSERT_EQ(outcome.problems.size(), 1u);
    const RecipeNote& note = outcome.problems[0];
    EXPECT_EQ(note.problem, RecipeProblem::overlappingBlocks);
    EXPECT_EQ(note.index, 1);
    EXPECT_EQ(note.text, "a.bin");
    EXPECT_EQ(note.other, 2);
    EXPECT_EQ(note.otherText, "b.bin");
    EXPECT_EQ(note.firstWord, 0x108u);
    EXPECT_EQ(note.lastWord, 0x109u);
    EXPECT_FALSE(std::filesystem::exists("out.bin"));
}

TEST(RecipeFile, MissingRecipeWritesNothing) {
    TempDir dir;
    const RecipeOutcome outcome = buildImage("absent.ini", RecipeReading::strict);
    ASSERT_EQ(outcome.problems.size(), 1u);
    EXPECT_EQ(outcome.problems[0].problem, RecipeProblem::recipeMissing);
    EXPECT_TRUE(dir.entries().empty());
}

TEST(RecipeFile, ValuesAreCutToTheirBufferSize) {
    TempDir dir;
    writeText("r.ini", "[A]\nK=" + std::string(150, 'v') + "\n");
    const IniFile ini("r.ini");
    EXPECT_EQ(ini.value("A", "K", 127), std::string(126, 'v'));
    EXPECT_EQ(ini.value("a", "k", 255), std::string(150, 'v'));
    EXPECT_EQ(ini.value("A", "missing", 127), "");
}

struct HexCase {
    std::string text;
    std::optional<std::uint32_t> value;
    bool tooLarge;
};

TEST(RecipeNumbers, HexAddresses) {
    const HexCase cases[] = {{"800", 0x800, false},
                             {"0x800", 0x800, false},
                             {"0XaBc", 0xABC, false},
                             {"ffffffff", 0xFFFFFFFF, false},
                             {"00000000012", 0x12, false},
                             {"100000000", {}, true},
                             {"0x", 0, false},
                             {"g1", {}, false},
                             {"", {}, false},
                             {"-5", {}, false}};
    for (const HexCase& c : cases) {
        bool tooLarge = false;
        EXPECT_EQ(parseHexAddress(c.text, tooLarge), c.value) << c.text;
        EXPECT_EQ(tooLarge, c.tooLarge) << c.text;
    }
}

TEST(RecipeNumbers, VersionWords) {
    EXPECT_EQ(versionWord("2.1.7"), 0x56020107u);
    EXPECT_EQ(versionWord(" 1. 2. 3"), 0x56010203u);
    EXPECT_EQ(versionWord("1..3"), 0x56010000u);
    EXPECT_EQ(versionWord("-1.0.0"), 0x56FF0000u);
    EXPECT_EQ(versionWord("99999999999999999999.1.1"), 0x56FF0101u); // wraps, never overflows
    EXPECT_EQ(versionWord("v1.2.3"), 0x56000000u);
}

} // namespace

#include "image/ImageBuilder.h"

#include "TempDir.h"
#include "image/IniFile.h"

#include <gtest/gtest.h>

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
const Bytes old = {0xDE, 0xAD};

struct RecipeCase {
    const char* name;
    std::string recipe;
    Bytes expected; // the image written to out.bin; `old` when nothing may be written
    std::vector<RecipeProblem> problems;
};

// Test names say which case failed; the bytes of the case would say nothing.
void PrintTo(const RecipeCase& c, std::ostream* out) {
    *out << c.name;
}

class Recipe : public testing::TestWithParam<RecipeCase> {
  protected:
    TempDir dir;
};

// Each case starts with the sources six.bin (6 bytes) and odd.bin (251 bytes) and an older out.bin.
TEST_P(Recipe, WritesTheImageItDescribes) {
    const RecipeCase& c = GetParam();
    writeFile("six.bin", six);
    writeFile("odd.bin", odd);
    writeFile("big.bin", Bytes(maxSourceSize + 1, 0x11));
    writeFile("out.bin", old);
    writeText("pack.ini", c.recipe);

    const RecipeOutcome outcome = buildImage("pack.ini");

    EXPECT_EQ(readFile("out.bin"), c.expected);
    EXPECT_EQ(outcome.written, c.expected != old);
    std::vector<RecipeProblem> problems;
    for (const RecipeNote& note : outcome.problems) {
        problems.push_back(note.problem);
    }
    EXPECT_EQ(problems, c.problems);
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

INSTANTIATE_TEST_SUITE_P(
    Cases, Recipe,
    testing::Values(
        RecipeCase{"versionAndOneSource",
                   "[VERSION]\nVALUE=1.2.3\n[INPUT]\nSOURCE_1=six.bin\nADDRESS_1=800\n" + result,
                   version(1, 2, 3) + record(0x800, six),
                   {}},
        RecipeCase{"versionKeepsLowEightBits", "[VERSION]\nVALUE=258.513.7\n" + result, version(2, 1, 7), {}},
        RecipeCase{"missingVersionNumbersAreZero", "[VERSION]\nVALUE=2.1\n" + result, version(2, 1, 0), {}},
        RecipeCase{"noVersionAtAll", result, version(0, 0, 0), {}},
        RecipeCase{"missingAddressTakesThePreviousOne",
                   "[INPUT]\nSOURCE_1=six.bin\nADDRESS_1=0x800\nSOURCE_2=odd.bin\n" + result,
                   version(0, 0, 0) + record(0x800, six) + record(0x800, odd),
                   {}},
        RecipeCase{"addressStopsAtTheFirstNonHexCharacter",
                   "[INPUT]\nSOURCE_1=six.bin\nADDRESS_1=1A0h\n" + result,
                   version(0, 0, 0) + record(0x1A0, six),
                   {}},
        RecipeCase{"addressThatIsNotHexKeepsThePreviousOne",
                   "[INPUT]\nSOURCE_1=six.bin\nADDRESS_1=40\nSOURCE_2=six.bin\nADDRESS_2=zz\n" + result,
                   version(0, 0, 0) + record(0x40, six) + record(0x40, six),
                   {RecipeProblem::addressNotHex}},
        RecipeCase{"numberingStopsAtTheFirstGap",
                   "[INPUT]\nSOURCE_1=six.bin\nADDRESS_1=10\nSOURCE_3=odd.bin\nADDRESS_3=30\n" + result,
                   version(0, 0, 0) + record(0x10, six),
                   {}},
        RecipeCase{"namesMatchWithoutCaseAndFirstKeyWins",
                   "[version]\nvalue = 3.4.5 \nVALUE=9.9.9\n[Input]\nsource_1 =  odd.bin  \nAddress_1=0X64\n"
                   "[result]\nValue=out.bin\n",
                   version(3, 4, 5) + record(0x64, odd),
                   {}},
        // Recipes written for the Windows reader may quote their values: one matching pair goes.
        RecipeCase{"quotedValuesLoseOnePairOfQuotes",
                   "[VERSION]\nVALUE='1.2.3'\n[INPUT]\nSOURCE_1= \"six.bin\" \nADDRESS_1=\"800\"\n"
                   "[RESULT]\nVALUE=\"out.bin\"\n",
                   version(1, 2, 3) + record(0x800, six),
                   {}},
        RecipeCase{"unmatchedQuotesStay",
                   "[INPUT]\nSOURCE_1=\"six.bin\n" + result,
                   old,
                   {RecipeProblem::sourceMissing}},
        RecipeCase{"sixtyThreeSourcesFillTheTable",
                   "[VERSION]\nVALUE=1.0.0\n" + sources(63) + result,
                   manySixes(63),
                   {}},
        // Packing must never hand out an image that silently lacks part of what the recipe lists.
        RecipeCase{"missingSourceWritesNothing",
                   "[INPUT]\nSOURCE_1=six.bin\nSOURCE_2=gone.bin\n" + result,
                   old,
                   {RecipeProblem::sourceMissing}},
        RecipeCase{"sourceOverOneMebibyteWritesNothing",
                   "[INPUT]\nSOURCE_1=big.bin\n" + result,
                   old,
                   {RecipeProblem::sourceTooLarge}},
        RecipeCase{"sixtyFourSourcesWriteNothing",
                   "[VERSION]\nVALUE=1.0.0\n" + sources(64) + result,
                   old,
                   {RecipeProblem::tooManyBlocks}},
        RecipeCase{"addressBeyond32BitsWritesNothing",
                   "[INPUT]\nSOURCE_1=six.bin\nADDRESS_1=100000000\n" + result,
                   old,
                   {RecipeProblem::addressTooLarge}},
        RecipeCase{"noResultWritesNothing", "[VERSION]\nVALUE=1.0.0\n", old, {RecipeProblem::noResult}},
        RecipeCase{"overlongValueLineWritesNothing",
                   "[INPUT]\nSOURCE_1=six.bin\n; " + std::string(300, 'c') +
                       "\nADDRESS_1=" + std::string(300, '0') + "1\n" + result,
                   old,
                   {RecipeProblem::recipeLineTooLong}},
        RecipeCase{
            "overlongCommentIsHarmless", "; " + std::string(500, 'c') + "\n" + result, version(0, 0, 0), {}}),
    [](const testing::TestParamInfo<RecipeCase>& info) { return std::string(info.param.name); });

TEST(RecipeFile, MissingRecipeWritesNothing) {
    TempDir dir;
    const RecipeOutcome outcome = buildImage("absent.ini");
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

#include "vtc880/Utf8.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

using namespace vtc880;
using namespace std::string_literals;

namespace {

const std::string R = "\xEF\xBF\xBD"; // U+FFFD

std::string repeat(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i)
        out += s;
    return out;
}

// Splits valid UTF-8 into its characters, by lead byte.
std::vector<std::string> characters(const std::string& valid) {
    std::vector<std::string> out;
    for (std::size_t pos = 0; pos < valid.size();) {
        const auto lead = static_cast<unsigned char>(valid[pos]);
        const std::size_t size = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        out.push_back(valid.substr(pos, size));
        pos += size;
    }
    return out;
}

} // namespace

TEST(ValidUtf8, KeepsValidTextUnchanged) {
    const std::vector<std::string> rows = {
        "",
        "firmware_v1.2.hex",
        "a\0b"s,            // NUL is valid UTF-8; printable() deals with it
        "\xC2\x80",         // U+0080, smallest 2-byte
        "\xDF\xBF",         // U+07FF, largest 2-byte
        "\xE0\xA0\x80",     // U+0800, smallest 3-byte
        "\xED\x9F\xBF",     // U+D7FF, just below the surrogates
        "\xEE\x80\x80",     // U+E000, just above them
        "\xEF\xBF\xBF",     // U+FFFF
        "\xF0\x90\x80\x80", // U+10000, smallest 4-byte
        "\xF4\x8F\xBF\xBF", // U+10FFFF, the last code point
        "fïrmwäre €5 固件 😀",
        R,
    };
    for (const std::string& text : rows)
        EXPECT_EQ(validUtf8(text), text) << testing::PrintToString(text);
}

TEST(ValidUtf8, ReplacesEachMaximalInvalidSubpart) {
    struct Row {
        std::string input;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {"\x80", R}, // lone continuation byte
        {"a\xBF"
         "b",
         "a" + R + "b"},     // stray continuation between letters
        {"\xE2\x82", R},     // 3-byte sequence cut by the end: one U+FFFD
        {"\xC3", R},         // 2-byte lead alone at the end
        {"\xF0\x9F\x98", R}, // 4-byte sequence cut by the end
        {"\xE2\x82"
         "A",
         R + "A"}, // a cut sequence keeps the ASCII after it
        {"\xF0\x9F\x98"
         "x",
         R + "x"},
        {"\xE2\x82\xE2\x82\xAC", R + "€"}, // and a valid character after it
        {"\xC2\xC3\xA4", R + "ä"},
        {"\xC0\xAF", R + R}, // overlong '/': C0 can never start a character
        {"\xC1\xBF", R + R},
        {"\xE0\x80\xAF", R + R + R}, // overlong 3-byte
        {"\xE0\x9F\x80", R + R + R},
        {"\xF0\x80\x80\xAF", R + R + R + R},    // overlong 4-byte
        {"\xED\xA0\x80", R + R + R},            // surrogate U+D800
        {"\xED\xBF\xBF", R + R + R},            // surrogate U+DFFF
        {"\xF4\x90\x80\x80", R + R + R + R},    // U+110000
        {"\xF5\x80\x80\x80", R + R + R + R},    // F5.. never starts a character
        {"\xF8\x88\x80\x80\x80", repeat(R, 5)}, // old 5-byte form
        {"\xFE", R},
        {"\xFF", R},
        {"a\xF1\x80\x80\xE1\x80\xC2"
         "b\x80"
         "c\x80\xBF"
         "d",
         "a" + R + R + R + "b" + R + "c" + R + R + "d"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(validUtf8(row.input), row.expected) << testing::PrintToString(row.input);
}

TEST(Printable, ShowsEveryControlCharacterAsQuestionMark) {
    struct Row {
        std::string input;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {"\x1B[2J\x1B[31mred", "?[2J?[31mred"},
        {"a\tb", "a?b"},
        {"line\r\n", "line??"},
        {"a\0b"s, "a?b"},
        {"\x01\x1F\x7F", "???"},
        {"\xC2\x9B"
         "2J",
         "?2J"},                      // C1 CSI as UTF-8
        {"\xC2\x80\xC2\x9F", "??"},   // first and last C1 control
        {" ~\xC2\xA0", " ~\xC2\xA0"}, // space, tilde and no-break space are not controls
        {"\x9B"
         "2J",
         R + "2J"},            // a raw C1 byte is invalid UTF-8, not a control
        {"\xE2\x1B", R + "?"}, // a control ends the cut sequence and is still hidden
        {"e\xCC\x81 固件 😀", "e\xCC\x81 固件 😀"},
    };
    for (const Row& row : rows)
        EXPECT_EQ(printable(row.input), row.expected) << testing::PrintToString(row.input);
}

TEST(Columns, CountsTerminalCells) {
    struct Row {
        std::string text;
        std::size_t expected;
    };
    const std::vector<Row> rows = {
        {"", 0},
        {"fw.hex", 6},
        {"fïrmwäre.hex", 12}, // precomposed accents
        {"e\u0301", 1},       // combining acute
        {"a\u0300\u036F", 1}, // both ends of the combining diacriticals
        {"\u0370", 1},        // just after them
        {"a\u20DD", 1},       // enclosing mark (Me)
        {"固件.hex", 8},
        {"\u4E00\u9FFF", 4}, // ends of CJK Unified Ideographs
        {"ひらがな", 8},
        {"カタカナ", 8},
        {"\u304B\u3099", 2}, // combining voiced mark inside the kana block is still zero width
        {"한국어", 6},
        {"\uAC00\uD7A3", 4}, // ends of Hangul syllables
        {"ｆｗ", 4},
        {"\uFF01\uFF60", 4}, // ends of the fullwidth forms
        {"\uFF61", 1},       // halfwidth ideographic full stop
        {"😀", 2},
        {"\U0001F44D\U0001F3FD", 4}, // skin tone modifiers are wide on their own
        {"a\u200Bb", 2},             // zero width space
        {"a\u200Db", 2},             // zero width joiner
        {"\u200E\u202E\u2060\u2064\uFEFF", 0},
        {"\u2029", 0},
        {"\u2065", 1},           // past the invisible operators
        {"\u2764\uFE0F", 1},     // variation selector
        {"\u8FBB\U000E0100", 2}, // ideographic variation selector
        {"\xFF", 1},             // invalid byte shows as U+FFFD
        {"\xE2\x82", 1},
        {R, 1},
        {"\x1B[0m", 4}, // ESC shows as '?'
        {"\t", 1},
    };
    for (const Row& row : rows)
        EXPECT_EQ(columns(row.text), row.expected) << testing::PrintToString(row.text);
}

TEST(HeadTailColumns, CutBetweenCharactersAndKeepMarksWithTheirBase) {
    struct Row {
        std::string text;
        std::size_t width;
        std::string head;
        std::string tail;
    };
    const std::vector<Row> rows = {
        {"firmware.hex", 8, "firmware", "ware.hex"},
        {"firmware.hex", 12, "firmware.hex", "firmware.hex"},
        {"abc", 10, "abc", "abc"},
        {"", 5, "", ""},
        {"abc", 0, "", ""},
        {"固件.hex", 3, "固", "hex"},
        {"固件", 3, "固", "件"}, // a wide character never straddles the cut
        {"固件", 1, "", ""},
        {"ｆｗ", 3, "ｆ", "ｗ"},
        {"😀x", 1, "", "x"},
        {"x😀", 2, "x", "😀"},
        {"fïrmwäre", 3, "fïr", "äre"},
        {"e\u0301a", 1, "e\u0301", "a"},
        {"ae\u0301", 1, "a", "e\u0301"},
        {"ae\u0301\u0302b", 2, "ae\u0301\u0302", "e\u0301\u0302b"},
        {"a\u200Db", 1, "a\u200D", "b"}, // the joiner follows 'a' either way
        {"\u0301ab", 1, "\u0301a", "b"}, // a mark with nothing before it costs nothing
        {"\u0301ab", 3, "\u0301ab", "\u0301ab"},
        {"\u0301", 0, "\u0301", "\u0301"},
        {"\x1B[0m", 2, "?[", "0m"},
        {"\xFF"
         "ab",
         1, R, "b"},
        {"ab\xE2\x82", 2, "ab", "b" + R},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(testing::PrintToString(row.text) + " width " + std::to_string(row.width));
        const std::string head = headColumns(row.text, row.width);
        const std::string tail = tailColumns(row.text, row.width);
        EXPECT_EQ(head, row.head);
        EXPECT_EQ(tail, row.tail);
        EXPECT_LE(columns(head), row.width);
        EXPECT_LE(columns(tail), row.width);
    }
}

TEST(PadColumns, FillsWithBlanksUpToWidth) {
    struct Row {
        std::string text;
        std::size_t width;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {"ab", 5, "ab   "}, {"ab", 2, "ab"},      {"abcdef", 3, "abcdef"}, // never cut
        {"", 0, ""},        {"", 2, "  "},        {"固", 4, "固  "},       {"e\u0301", 3, "e\u0301  "},
        {"\x1B", 2, "? "},  {"\xFF", 2, R + " "},
    };
    for (const Row& row : rows)
        EXPECT_EQ(padColumns(row.text, row.width), row.expected) << testing::PrintToString(row.text);
}

TEST(AsciiCase, LowersOnlyAsciiLetters) {
    struct Row {
        std::string input;
        std::string expected;
    };
    const std::vector<Row> rows = {
        {"COM1", "com1"},
        {"[Section] Key=Value", "[section] key=value"},
        {"0XAbCdEf", "0xabcdef"},
        {"AZaz", "azaz"},
        {"@[`{", "@[`{"}, // neighbours of 'A'..'Z' and 'a'..'z'
        {"ÄÖÜ", "ÄÖÜ"},   // UTF-8 bytes stay as they are
        {"\xC3\x84\x80\xFF", "\xC3\x84\x80\xFF"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(asciiLower(row.input), row.expected) << row.input;
        for (std::size_t i = 0; i < row.input.size(); ++i)
            EXPECT_EQ(asciiLower(row.input[i]), row.expected[i]) << row.input << " at " << i;
    }
}

TEST(AsciiCase, ComparesIgnoringAsciiCaseOnly) {
    struct Row {
        std::string a;
        std::string b;
        bool equal;
    };
    const std::vector<Row> rows = {
        {"COM1", "com1", true},
        {"", "", true},
        {"DeviceId", "DEVICEID", true},
        {"com1", "com10", false},
        {"com1", "com2", false},
        {"@", "`", false}, // differ only in bit 0x20, but are not letters
        {"[", "{", false},
        {"\xC3\x84", "\xC3\xA4", false}, // Ä and ä: no folding beyond ASCII
        {"a\0b"s, "A\0B"s, true},
        {"a\0b"s, "a"s, false},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(equalsIgnoringAsciiCase(row.a, row.b), row.equal) << row.a << " vs " << row.b;
        EXPECT_EQ(equalsIgnoringAsciiCase(row.b, row.a), row.equal) << row.b << " vs " << row.a;
    }
}

// Random input built from raw bytes and from pieces that matter here: wide characters, marks, controls
// and broken sequences, so that cuts land next to them often.
TEST(Utf8Properties, HoldForRandomBytes) {
    const std::vector<std::string> pieces = {
        "a",        "Z",        " ",  "ä",        "e\u0301",  "\u0301",       "\u20DD",   "\u200D",
        "\uFE0F",   "固",       "ｆ", "😀",        "\x1B",     "\t",           "\0"s,      "\x7F",
        "\xC2\x9B", "\xC2\xA0", R,    "\xE2\x82", "\xF0\x9F", "\xED\xA0\x80", "\xC0\xAF", "\x80",
        "\xFF",
    };
    std::mt19937 rng(880);
    std::uniform_int_distribution<int> length(0, 24);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<std::size_t> piece(0, pieces.size() - 1);

    for (int round = 0; round < 3000; ++round) {
        std::string text;
        for (int n = length(rng); n > 0; --n) {
            if (byte(rng) < 96)
                text += static_cast<char>(byte(rng));
            else
                text += pieces[piece(rng)];
        }
        SCOPED_TRACE(testing::PrintToString(text));

        const std::string valid = validUtf8(text);
        ASSERT_EQ(validUtf8(valid), valid);

        const std::string shown = printable(text);
        for (std::size_t i = 0; i < shown.size(); ++i) {
            const auto b = static_cast<unsigned char>(shown[i]);
            ASSERT_TRUE(b >= 0x20 && b != 0x7F) << "control byte at " << i;
            if (b == 0xC2 && i + 1 < shown.size()) {
                ASSERT_GT(static_cast<unsigned char>(shown[i + 1]), 0x9F) << "C1 control at " << i;
            }
        }

        const std::size_t total = columns(text);
        ASSERT_EQ(headColumns(text, total), shown);
        ASSERT_EQ(tailColumns(text, total), shown);

        for (std::size_t width = 0; width <= 20; ++width) {
            SCOPED_TRACE("width " + std::to_string(width));

            const std::string head = headColumns(text, width);
            ASSERT_EQ(validUtf8(head), head);
            ASSERT_LE(columns(head), width);
            ASSERT_EQ(shown.substr(0, head.size()), head);
            if (head.size() < shown.size()) {
                // Longest: the next character is a real one, and it would not fit.
                const std::string next = characters(shown.substr(head.size())).front();
                ASSERT_GT(columns(next), 0u);
                ASSERT_GT(columns(head) + columns(next), width);
            }

            const std::string tail = tailColumns(text, width);
            ASSERT_EQ(validUtf8(tail), tail);
            ASSERT_LE(columns(tail), width);
            ASSERT_TRUE(shown.size() >= tail.size() && shown.ends_with(tail));
            if (tail.size() < shown.size()) {
                // Longest: the tail starts at a real character, and the one before it would not fit.
                if (!tail.empty()) {
                    ASSERT_GT(columns(characters(tail).front()), 0u);
                }
                const std::vector<std::string> before =
                    characters(shown.substr(0, shown.size() - tail.size()));
                const auto base = std::find_if(before.rbegin(), before.rend(),
                                               [](const std::string& c) { return columns(c) > 0; });
                ASSERT_NE(base, before.rend());
                ASSERT_GT(columns(*base) + columns(tail), width);
            }

            const std::string padded = padColumns(text, width);
            ASSERT_EQ(padded.substr(0, shown.size()), shown);
            ASSERT_EQ(padded.find_first_not_of(' ', shown.size()), std::string::npos);
            ASSERT_EQ(columns(padded), std::max(width, total));
        }
    }
}

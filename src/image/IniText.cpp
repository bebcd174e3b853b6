#include "image/IniText.h"

#include "image/IniRules.h"

#include <cstdio>
#include <fstream>
#include <system_error>

namespace vtc880 {

namespace {

// Problem texts quote the line: cut short, and only ever printable (a control character is named by
// its code instead), so that a hostile recipe cannot send escape sequences to a terminal.
constexpr std::size_t quotedLength = 60;

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

// The Windows profile reader drops one pair of matching quotes around a (trimmed) value, and recipes
// written for it rely on that.
std::string_view withoutQuotes(std::string_view value) {
    if (value.size() >= 2 && value.front() == value.back() &&
        (value.front() == '"' || value.front() == '\'')) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

bool isControl(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && c != '\t') || byte == 0x7F;
}

std::string quoted(std::string_view text) {
    std::string out(text.substr(0, quotedLength));
    for (char& c : out) {
        if (isControl(c)) {
            c = '?';
        }
    }
    return text.size() <= quotedLength ? out : out + "...";
}

// A ';' behind a blank, anywhere after the '=': the Windows profile reader keeps it in the value, where
// the writer almost always meant a comment, as many INI readers take it. Neither reading is safe.
bool hasCommentBehind(std::string_view value) {
    for (std::size_t i = 1; i < value.size(); ++i) {
        if (value[i] == ';' && isBlank(value[i - 1])) {
            return true;
        }
    }
    return false;
}

// "[name]" with nothing but blanks or a comment behind it. INI readers differ on where a name ends
// (the Windows profile reader at the last ']', others at the first, or at a ';'): a name or a rest
// that could be read either way is broken.
bool parseHeader(std::string_view line, std::string& name) {
    const std::size_t close = line.find(']');
    if (line.empty() || line.front() != '[' || close == std::string_view::npos || close == 1) {
        return false;
    }
    const std::string_view inside = line.substr(1, close - 1);
    const std::string_view rest = trimmed(line.substr(close + 1));
    if (inside.find_first_of("[;") != std::string_view::npos || rest.find(']') != std::string_view::npos) {
        return false;
    }
    if (!rest.empty() && rest.front() != ';' && rest.front() != '#') {
        return false;
    }
    name = std::string(inside);
    return true;
}

class Scanner {
  public:
    explicit Scanner(IniText& out) : out(out) {}

    void take(std::string_view content, int number) {
        const std::string_view line = trimmed(content);
        if (line.empty()) {
            return;
        }
        // Nothing is taken from a comment, however long or strange.
        if (line.front() == ';' || line.front() == '#') {
            return;
        }
        if (content.size() > iniLongestLine) {
            problem(IniLineFault::tooLong, number, quoted(line));
            return;
        }
        // A recipe is text. A lone carriage return, say, ends a line for some editors and readers and
        // not for others.
        for (const char c : content) {
            if (isControl(c)) {
                char code[8];
                std::snprintf(code, sizeof code, "0x%02X", static_cast<unsigned char>(c));
                problem(IniLineFault::controlCharacter, number, code);
                return;
            }
        }
        const std::size_t equals = line.find('=');
        if (line.front() == '[' ||
            (equals == std::string_view::npos && line.find(']') != std::string_view::npos)) {
            std::string name;
            if (!parseHeader(line, name)) {
                problem(IniLineFault::brokenHeader, number, quoted(line));
                return;
            }
            section = name;
            sectionLine = number;
            out.headers.push_back({name, number});
            return;
        }
        if (equals == std::string_view::npos) {
            problem(IniLineFault::noEquals, number, quoted(line));
            return;
        }
        if (sectionLine == 0) {
            problem(IniLineFault::outsideSection, number, quoted(line));
            return;
        }
        if (hasCommentBehind(line.substr(equals + 1))) {
            problem(IniLineFault::commentBehindValue, number, quoted(line));
            return;
        }
        out.entries.push_back({section, sectionLine, std::string(trimmed(line.substr(0, equals))),
                               std::string(withoutQuotes(trimmed(line.substr(equals + 1)))), number});
    }

  private:
    void problem(IniLineFault fault, int number, std::string text) {
        out.problems.push_back({fault, number, std::move(text)});
    }

    IniText& out;
    std::string section;
    int sectionLine = 0; // 0: no header yet
};

} // namespace

IniText scanIniText(std::string_view text) {
    IniText out;
    // A UTF-8 byte-order mark, as editors on Windows write it.
    if (text.substr(0, 3) == "\xEF\xBB\xBF") {
        text.remove_prefix(3);
    }
    Scanner scanner(out);
    int number = 0;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view content = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!content.empty() && content.back() == '\r') {
            content.remove_suffix(1);
        }
        scanner.take(content, ++number);
    }
    return out;
}

IniText readIniText(const std::filesystem::path& path) {
    IniText out;
    std::error_code error;
    // Linux opens a directory for reading and only fails the first read.
    std::ifstream in;
    if (!std::filesystem::is_directory(path, error)) {
        in.open(path, std::ios::binary);
    }
    if (!in.is_open()) {
        out.status = IniText::Status::missing;
        return out;
    }
    // One byte more than allowed, so that a larger file is seen without reading all of it.
    std::string bytes(iniLargestFile + 1, '\0');
    in.read(bytes.data(), std::streamsize(bytes.size()));
    if (in.bad()) {
        out.status = IniText::Status::missing;
        return out;
    }
    bytes.resize(std::size_t(in.gcount()));
    if (bytes.size() > iniLargestFile) {
        out.status = IniText::Status::tooLarge;
        return out;
    }
    return scanIniText(bytes);
}

} // namespace vtc880

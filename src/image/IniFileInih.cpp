#include "image/IniFile.h"
#include "image/IniRules.h"

#include <algorithm>
#include <filesystem>
#include <ini.h>
#include <map>
#include <system_error>

namespace vtc880 {

namespace {

std::string lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = char(c - 'A' + 'a');
        }
    }
    return text;
}

std::string keyOf(const std::string& section, const std::string& name) {
    return lower(section) + '\n' + lower(name);
}

} // namespace

struct IniFile::Values {
    IniText text;
    std::map<std::string, std::string> byKey;
    std::size_t next = 0; // the next line to hand to inih

    // inih takes a line with leading blanks behind a key line as more of that key's value, which the
    // Windows reader never does: hand it lines without them. It also reads into a fixed buffer and
    // would take the rest of a longer line as a line of its own: hand it whole lines only (a comment
    // cut short is harmless; a longer line of any other kind is one the scan has refused already).
    char* readLine(char* buffer, int size) {
        if (next >= text.lines.size() || size < 2) {
            return nullptr;
        }
        const std::string& content = text.lines[next];
        const int number = int(++next);
        std::string line = content.substr(std::min(content.find_first_not_of(" \t"), content.size()));
        const std::size_t room = std::size_t(size - 2);
        if (line.size() > room) {
            if (!isIniComment(line)) {
                noteCut(number, line);
            }
            line = isIniComment(line) ? line.substr(0, room) : std::string();
        }
        line += '\n';
        line.copy(buffer, line.size());
        buffer[line.size()] = '\0';
        return buffer;
    }

    // Only if inih's buffer were smaller than iniLongestLine allows: the line is then lost here, so
    // it is a problem of the file like any other over-long line.
    void noteCut(int number, const std::string& line) {
        for (const IniLineProblem& problem : text.problems) {
            if (problem.line == number) {
                return;
            }
        }
        text.problems.push_back({IniLineFault::tooLong, number, line.substr(0, 60)});
    }
};

IniFile::IniFile(const std::string& path) : values(std::make_unique<Values>()) {
    // Relative recipe paths are taken from the working directory, like the files the recipe names.
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error || path.empty()) {
        values->text.status = IniText::Status::missing;
        return;
    }
    values->text = readIniText(absolute);
    if (values->text.status != IniText::Status::ok) {
        return;
    }
    auto reader = [](char* buffer, int size, void* user) {
        return static_cast<Values*>(user)->readLine(buffer, size);
    };
    auto handler = [](void* user, const char* section, const char* name, const char* value) {
        static_cast<Values*>(user)->byKey.try_emplace(keyOf(section, name), withoutQuotes(value));
        return 1;
    };
    ini_parse_stream(reader, values.get(), handler, values.get());
}

IniFile::~IniFile() = default;

IniFile::Status IniFile::status() const {
    return values->text.status;
}

const IniText& IniFile::text() const {
    return values->text;
}

std::string IniFile::value(const std::string& section, const std::string& key, std::size_t bufferSize) const {
    const auto found = values->byKey.find(keyOf(section, key));
    if (found == values->byKey.end() || bufferSize == 0) {
        return {};
    }
    return found->second.substr(0, bufferSize - 1);
}

} // namespace vtc880

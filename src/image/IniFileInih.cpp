#include "image/IniFile.h"
#include "image/IniRules.h"

#include <cstdio>
#include <filesystem>
#include <ini.h>
#include <map>
#include <system_error>

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
    Status status = Status::ok;
    int problemLine = 0;
    std::map<std::string, std::string> byKey;

    std::FILE* file = nullptr;
    int lineNumber = 0;

    // inih reads lines into a fixed buffer and would take the rest of a longer line as a line of its
    // own. Hand it whole lines only: a long comment is cut (harmless), any other long line is refused.
    char* readLine(char* buffer, int size) {
        std::string line;
        int c = 0;
        while ((c = std::fgetc(file)) != EOF) {
            line += char(c);
            if (c == '\n') {
                break;
            }
        }
        if (line.empty()) {
            return nullptr;
        }
        ++lineNumber;
        if (line.size() > std::size_t(size - 1)) {
            if (!isIniComment(line) && status == Status::ok) {
                status = Status::lineTooLong;
                problemLine = lineNumber;
            }
            line = isIniComment(line) ? line.substr(0, std::size_t(size - 2)) + '\n' : "\n";
        }
        line.copy(buffer, line.size());
        buffer[line.size()] = '\0';
        return buffer;
    }
};

IniFile::IniFile(const std::string& path) : values(std::make_unique<Values>()) {
    // Relative recipe paths are taken from the working directory, like the files the recipe names.
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    values->file = error ? nullptr : std::fopen(absolute.string().c_str(), "rb");
    if (values->file == nullptr) {
        values->status = Status::missing;
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
    std::fclose(values->file);
    values->file = nullptr;
}

IniFile::~IniFile() = default;

IniFile::Status IniFile::status() const {
    return values->status;
}

int IniFile::problemLine() const {
    return values->problemLine;
}

std::string IniFile::value(const std::string& section, const std::string& key, std::size_t bufferSize) const {
    const auto found = values->byKey.find(keyOf(section, key));
    if (found == values->byKey.end() || bufferSize == 0) {
        return {};
    }
    return found->second.substr(0, bufferSize - 1);
}

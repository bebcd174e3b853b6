#include "image/IniFile.h"
#include "image/IniRules.h"

#include <climits>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <vector>
#include <windows.h>

// Windows reads recipes with its own profile functions, which read the file afresh on every call.
struct IniFile::Values {
    Status status = Status::ok;
    int problemLine = 0;
    std::string path; // absolute: a bare name would be looked up in the Windows folder
};

namespace {

// The first line, other than a comment, longer than the Linux reader takes; 0 when none. The profile
// functions would take it, but the same recipe must not pack differently on another system.
int firstOverlongLine(std::istream& in) {
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::size_t withEnd = line.size() + (in.eof() ? 0 : 1);
        if (withEnd > iniLongestLine && !isIniComment(line)) {
            return number;
        }
    }
    return 0;
}

} // namespace

IniFile::IniFile(const std::string& path) : values(std::make_unique<Values>()) {
    // Relative recipe paths are taken from the working directory, like the files the recipe names.
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    // The profile functions take a missing file for an empty one; tell the two apart here.
    std::ifstream in;
    if (!error && !path.empty()) {
        in.open(absolute, std::ios::binary);
    }
    if (!in) {
        values->status = Status::missing;
        return;
    }
    values->path = absolute.string();
    values->problemLine = firstOverlongLine(in);
    if (values->problemLine != 0) {
        values->status = Status::lineTooLong;
    }
}

IniFile::~IniFile() = default;

IniFile::Status IniFile::status() const {
    return values->status;
}

int IniFile::problemLine() const {
    return values->problemLine;
}

std::string IniFile::value(const std::string& section, const std::string& key, std::size_t bufferSize) const {
    if (values->status == Status::missing || bufferSize == 0) {
        return {};
    }
    std::vector<char> buffer(bufferSize < DWORD(INT_MAX) ? bufferSize : std::size_t(INT_MAX));
    const DWORD length = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(),
                                                    DWORD(buffer.size()), values->path.c_str());
    return std::string(buffer.data(), length < buffer.size() ? length : buffer.size() - 1);
}

#include "image/IniFile.h"

#include <climits>
#include <filesystem>
#include <system_error>
#include <vector>
#include <windows.h>

namespace vtc880 {

// Windows reads recipes with its own profile functions, which read the file afresh on every call.
// The file's lines are scanned once here as well, by the same rules as on Linux, so that a recipe
// one reader would take differently is refused on both systems alike.
struct IniFile::Values {
    IniText text;
    std::string path; // absolute: a bare name would be looked up in the Windows folder
};

IniFile::IniFile(const std::string& path) : values(std::make_unique<Values>()) {
    // Relative recipe paths are taken from the working directory, like the files the recipe names.
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    // The profile functions take a missing file for an empty one; the scan tells the two apart.
    if (error || path.empty()) {
        values->text.status = IniText::Status::missing;
        return;
    }
    values->text = readIniText(absolute);
    values->path = absolute.string();
}

IniFile::~IniFile() = default;

IniFile::Status IniFile::status() const {
    return values->text.status;
}

const IniText& IniFile::text() const {
    return values->text;
}

std::string IniFile::value(const std::string& section, const std::string& key, std::size_t bufferSize) const {
    if (values->text.status != Status::ok || bufferSize == 0) {
        return {};
    }
    std::vector<char> buffer(bufferSize < DWORD(INT_MAX) ? bufferSize : std::size_t(INT_MAX));
    const DWORD length = ::GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(),
                                                    DWORD(buffer.size()), values->path.c_str());
    return std::string(buffer.data(), length < buffer.size() ? length : buffer.size() - 1);
}

} // namespace vtc880

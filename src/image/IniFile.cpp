#include "image/IniFile.h"

#include "vtc880/Utf8.h"

namespace vtc880 {

IniFile::IniFile(const std::string& path) : scan(readIniText(path)) {
    for (std::size_t i = 0; i < scan.headers.size(); ++i) {
        firstHeaders.try_emplace(asciiLower(scan.headers[i].name), i);
    }
    // A section given again is never read the second time; its keys are not looked up.
    for (std::size_t i = 0; i < scan.entries.size(); ++i) {
        const IniEntry& entry = scan.entries[i];
        const auto header = firstHeaders.find(asciiLower(entry.section));
        if (header != firstHeaders.end() && scan.headers[header->second].line == entry.sectionLine) {
            firstEntries.try_emplace({header->first, asciiLower(entry.key)}, i);
        }
    }
}

std::string IniFile::value(std::string_view section, std::string_view key, std::size_t bufferSize) const {
    const IniEntry* found = entry(section, key);
    if (found == nullptr || bufferSize == 0) {
        return {};
    }
    return found->value.substr(0, bufferSize - 1);
}

const IniEntry* IniFile::entry(std::string_view section, std::string_view key) const {
    const auto found = firstEntries.find({asciiLower(section), asciiLower(key)});
    return found == firstEntries.end() ? nullptr : &scan.entries[found->second];
}

const IniHeader* IniFile::header(std::string_view name) const {
    const auto found = firstHeaders.find(asciiLower(name));
    return found == firstHeaders.end() ? nullptr : &scan.headers[found->second];
}

} // namespace vtc880

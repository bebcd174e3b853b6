#pragma once

#include "image/IniText.h"

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <utility>

namespace vtc880 {

// Reads string values from an INI file by the rules of the Windows profile reader, the same on every
// system, so that a recipe packs the same everywhere: a missing file, section or key reads as the
// empty string; section and key names match without regard to ASCII case; only the first section of
// a name is read, and in it the first occurrence of a key; values are read as the scan takes them
// (IniText: trimmed, one pair of matching quotes dropped) and cut to fit a buffer of the given size,
// which counts the terminator. The lines the scan names as problems are never read.
class IniFile {
  public:
    using Status = IniText::Status;

    explicit IniFile(const std::string& path);

    Status status() const { return scan.status; }
    // The file's layout and the problems the scan found.
    const IniText& text() const { return scan; }

    std::string value(std::string_view section, std::string_view key, std::size_t bufferSize) const;
    // The entry value() reads; null when there is none.
    const IniEntry* entry(std::string_view section, std::string_view key) const;
    // The header of the section read under `name`: the first of that name. Null when there is none.
    const IniHeader* header(std::string_view name) const;

  private:
    IniText scan;
    // Indices into scan.headers and scan.entries, by names folded to lower case.
    std::map<std::string, std::size_t> firstHeaders;
    std::map<std::pair<std::string, std::string>, std::size_t> firstEntries;
};

} // namespace vtc880

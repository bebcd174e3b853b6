#pragma once

#include "image/IniText.h"

#include <cstddef>
#include <memory>
#include <string>

namespace vtc880 {

// Reads string values from an INI file the way a profile reader does: a missing file, section or key
// reads as the empty string, section and key names match without regard to case, the first
// occurrence of a key wins, values are trimmed, lose one pair of matching quotes around them, and are
// cut to fit a buffer of the given size (which counts the terminator). Lines are taken as the shared
// scan reads them (IniText): leading blanks never join a line to the one before it. The lines the
// scan names as problems may read differently on another system; callers refuse such a file.
class IniFile {
  public:
    using Status = IniText::Status;

    explicit IniFile(const std::string& path);
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    Status status() const;
    // The file's lines, its layout and the problems the shared scan found.
    const IniText& text() const;

    std::string value(const std::string& section, const std::string& key, std::size_t bufferSize) const;

  private:
    struct Values;
    std::unique_ptr<Values> values;
};

} // namespace vtc880

#pragma once

#include <cstddef>
#include <memory>
#include <string>

// Reads string values from an INI file the way a profile reader does: a missing file, section or key
// reads as the empty string, section and key names match without regard to case, the first
// occurrence of a key wins, values are trimmed, lose one pair of matching quotes around them, and are
// cut to fit a buffer of the given size (which counts the terminator).
class IniFile {
  public:
    enum class Status {
        ok,
        missing,     // the file cannot be opened
        lineTooLong, // a line longer than the reader takes: values could be cut or misread
    };

    explicit IniFile(const std::string& path);
    ~IniFile();
    IniFile(const IniFile&) = delete;
    IniFile& operator=(const IniFile&) = delete;

    Status status() const;
    int problemLine() const; // 1-based line of the first over-long line, 0 when none

    std::string value(const std::string& section, const std::string& key, std::size_t bufferSize) const;

  private:
    struct Values;
    std::unique_ptr<Values> values;
};

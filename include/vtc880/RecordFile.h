#pragma once

#include <string>

namespace vtc880 {

// A JSON Lines file of device records that several stations may append to at once. Each record goes
// out in one write under an exclusive lock and is flushed to the disk before append() returns, so
// records never interleave and a crash loses none that was reported written. A record is never glued
// to a line a crash left without its end: one starts on a line of its own.
class RecordFile {
  public:
    explicit RecordFile(std::string path) : path_(std::move(path)) {}
    const std::string& path() const { return path_; }

    // Opens the file for appending (creating it), to find out before any device is touched whether
    // records can be written. Empty when they can, else why not.
    std::string check() const;
    // Appends `line` (one JSON object, no line end) and a line end. Empty on success, else why not;
    // then nothing of it stays in the file.
    std::string append(const std::string& line) const;

  private:
    std::string path_;
};

} // namespace vtc880

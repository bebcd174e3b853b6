#pragma once

#include "vtc880/Json.h"

#include <string>

namespace vtc880 {

// Where the tool writes. Human text goes to standard output, or to standard error when --json asks
// for one JSON object per line on standard output.
//
// A stream that can no longer be written (a pipe whose reader has gone, as `| head` does, or a
// terminal that hung up) is dropped from then on: what the tool writes never stops the job it reports.
class Output {
  public:
    explicit Output(bool json) : json_(json) {}
    bool json() const { return json_; }
    // A line for a person, shown printable(): nothing a file or a device name holds moves the cursor.
    void say(const std::string& line) const;
    void problem(const std::string& line) const; // the same, always on standard error
    void event(const Json& object) const;        // only in JSON mode
    void draw(const std::string& text) const;    // as it stands, on standard output: a terminal's redraw

  private:
    bool json_;
};

} // namespace vtc880

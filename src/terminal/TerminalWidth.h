#pragma once

#include <cstddef>

namespace vtc880 {

// The width of the terminal that standard output shows on, followed as its window is resized (on
// Linux SIGWINCH tells; elsewhere each call asks). One at a time; made and used on one thread.
class TerminalWidth {
  public:
    TerminalWidth();
    ~TerminalWidth();
    TerminalWidth(const TerminalWidth&) = delete;
    TerminalWidth& operator=(const TerminalWidth&) = delete;

    std::size_t columns(); // the width now; 80 when the terminal does not tell
    bool changed();        // the width may have changed since the last call
};

} // namespace vtc880

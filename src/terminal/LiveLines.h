#pragma once

#include "terminal/Output.h"
#include "terminal/TerminalWidth.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace vtc880 {

// Lines at the bottom of a terminal, redrawn in place as they change: a device's live line, a
// station's table. What stays (a problem, a result) is written above them: clear() first, then
// draw() again. Used from one thread.
class LiveLines {
  public:
    explicit LiveLines(const Output& out);

    // Whether to redraw now: always when `force`d or when nothing is shown, otherwise at most ten
    // times a second.
    bool due(bool force);
    // The columns a line may take: one short of the terminal's width, since a line that fills the
    // last column leaves some terminals waiting to wrap, and the next would start a row too low.
    std::size_t width();
    // Replaces what is shown with `lines`, each fitted to width() already.
    void draw(const std::vector<std::string>& lines);
    void clear();
    bool shown() const { return drawnLines > 0; }
    // Between events: true when the terminal was resized, and the next draw clears the screen below.
    bool resized();

  private:
    const Output& out;
    std::unique_ptr<TerminalWidth> terminal = std::make_unique<TerminalWidth>();
    std::size_t drawnLines = 0; // the cursor is below them
    bool resizeSeen = false;    // since the last draw
    std::chrono::steady_clock::time_point lastDraw{};
};

} // namespace vtc880

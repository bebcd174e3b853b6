#include "terminal/LiveLines.h"

#include <algorithm>

namespace vtc880 {

namespace {
constexpr auto redrawEvery = std::chrono::milliseconds(100);
} // namespace

LiveLines::LiveLines(const Output& out) : out(out) {}

bool LiveLines::due(bool force) {
    const auto now = std::chrono::steady_clock::now();
    if (!force && drawnLines > 0 && now - lastDraw < redrawEvery) {
        return false;
    }
    lastDraw = now;
    return true;
}

std::size_t LiveLines::width() {
    return std::max<std::size_t>(terminal->columns(), 2) - 1;
}

void LiveLines::draw(const std::vector<std::string>& lines) {
    const bool cleanBelow = terminal->changed() || resizeSeen;
    resizeSeen = false;
    std::string frame;
    if (drawnLines > 0) {
        frame += "\033[" + std::to_string(drawnLines) + "A\r";
        if (cleanBelow) {
            frame += "\033[J";
        }
    }
    for (const std::string& line : lines) {
        frame += "\r\033[K" + line + "\n";
    }
    out.draw(frame);
    drawnLines = lines.size();
}

void LiveLines::clear() {
    if (drawnLines > 0) {
        out.draw("\033[" + std::to_string(drawnLines) + "A\r\033[J");
        drawnLines = 0;
    }
}

bool LiveLines::resized() {
    resizeSeen = terminal->changed() || resizeSeen;
    return resizeSeen;
}

} // namespace vtc880

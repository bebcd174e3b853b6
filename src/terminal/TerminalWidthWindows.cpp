#include "terminal/TerminalWidth.h"

#include <windows.h>

namespace vtc880 {

namespace {

std::size_t lastColumns = 0;

} // namespace

TerminalWidth::TerminalWidth() = default;

TerminalWidth::~TerminalWidth() = default;

std::size_t TerminalWidth::columns() {
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_OUTPUT_HANDLE), &info) &&
        info.srWindow.Right > info.srWindow.Left) {
        return std::size_t(info.srWindow.Right - info.srWindow.Left + 1);
    }
    return 80;
}

// Windows sends no signal on a resize: the width is compared with the one seen last.
bool TerminalWidth::changed() {
    const std::size_t now = columns();
    const bool was = now != lastColumns;
    lastColumns = now;
    return was;
}

} // namespace vtc880

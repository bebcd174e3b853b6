#include "terminal/TerminalWidth.h"

#include <csignal>
#include <sys/ioctl.h>
#include <unistd.h>

namespace vtc880 {

namespace {

volatile std::sig_atomic_t resized = 0;
struct sigaction previous {};

extern "C" void noteResize(int) {
    resized = 1;
}

} // namespace

TerminalWidth::TerminalWidth() {
    struct sigaction action {};
    action.sa_handler = noteResize;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART; // a resize never fails a read or a write under way
    sigaction(SIGWINCH, &action, &previous);
}

TerminalWidth::~TerminalWidth() {
    sigaction(SIGWINCH, &previous, nullptr);
}

std::size_t TerminalWidth::columns() {
    winsize size{};
    if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

bool TerminalWidth::changed() {
    const bool was = resized != 0;
    resized = 0;
    return was;
}

} // namespace vtc880

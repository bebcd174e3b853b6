#include "cli/StopRequest.h"

#include <atomic>
#include <windows.h>

namespace vtc880 {

namespace {

// The console runs its handler on a thread of its own: the flag is all it touches.
std::atomic<bool> interrupted{false};

BOOL WINAPI onConsoleEvent(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        interrupted = true;
        return TRUE; // handled: the jobs stop on their own and the port is closed properly
    }
    return FALSE;
}

} // namespace

struct StopRequest::State {};

StopRequest::StopRequest() : state(std::make_unique<State>()) {
    interrupted = false;
    ::SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

StopRequest::~StopRequest() {
    ::SetConsoleCtrlHandler(onConsoleEvent, FALSE);
}

bool StopRequest::arrived() {
    return interrupted.exchange(false);
}

} // namespace vtc880

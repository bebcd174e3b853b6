#include "cli/StopRequest.h"

#include <csignal>
#include <ctime>
#include <pthread.h>

namespace vtc880 {

// The stop signals are blocked and collected with sigtimedwait; SIGHUP and SIGPIPE are ignored.
struct StopRequest::State {
    sigset_t set;
    sigset_t previous;
    struct sigaction hangUp {};
    struct sigaction brokenPipe {};
};

StopRequest::StopRequest() : state(std::make_unique<State>()) {
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGHUP, &ignore, &state->hangUp);
    sigaction(SIGPIPE, &ignore, &state->brokenPipe); // a write to it fails with EPIPE instead
    sigemptyset(&state->set);
    sigaddset(&state->set, SIGINT);
    sigaddset(&state->set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &state->set, &state->previous);
}

StopRequest::~StopRequest() {
    pthread_sigmask(SIG_SETMASK, &state->previous, nullptr);
    sigaction(SIGPIPE, &state->brokenPipe, nullptr);
    sigaction(SIGHUP, &state->hangUp, nullptr);
}

bool StopRequest::arrived() {
    const timespec none{0, 0};
    const int signal = sigtimedwait(&state->set, nullptr, &none);
    return signal == SIGINT || signal == SIGTERM;
}

} // namespace vtc880

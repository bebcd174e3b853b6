#include "cli/StopRequest.h"

#include <csignal>
#include <ctime>
#include <pthread.h>

// The signals are blocked and collected with sigtimedwait.
struct StopRequest::State {
    sigset_t set;
    sigset_t previous;
};

StopRequest::StopRequest() : state(std::make_unique<State>()) {
    sigemptyset(&state->set);
    sigaddset(&state->set, SIGINT);
    sigaddset(&state->set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &state->set, &state->previous);
}

StopRequest::~StopRequest() {
    pthread_sigmask(SIG_SETMASK, &state->previous, nullptr);
}

bool StopRequest::arrived() {
    const timespec none{0, 0};
    const int signal = sigtimedwait(&state->set, nullptr, &none);
    return signal == SIGINT || signal == SIGTERM;
}

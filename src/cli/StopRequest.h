#pragma once

#include <memory>

// An interrupt (Ctrl-C; on Linux also SIGTERM) as a request the main thread collects between events,
// never as a handler running inside a worker. Make it on the main thread before any job thread
// starts, so that the threads inherit its setting.
class StopRequest {
  public:
    StopRequest();
    ~StopRequest();
    StopRequest(const StopRequest&) = delete;
    StopRequest& operator=(const StopRequest&) = delete;

    bool arrived(); // an interrupt came since the last call

  private:
    struct State;
    std::unique_ptr<State> state;
};

#pragma once

#include <memory>

namespace vtc880 {

// Which signals stop a job, and how. An interrupt (Ctrl-C; on Linux also SIGTERM) is a request the
// main thread collects between events, never a handler running inside a worker; the job then stops
// at its next safe point. A hang-up (a dropped ssh session) and a pipe whose reader has gone (`| head`)
// stop nothing: an update left half-way would leave the device without firmware, so the job runs to
// its end and the output that can no longer be written is dropped. Make it on the main thread before
// any job thread starts, so that the threads inherit its setting.
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

} // namespace vtc880

#pragma once

#include "vtc880/Trace.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>

namespace vtc880 {

// --trace: every byte each device's port sent and received, with its time and the port's speed, and
// each frame decoded, one line each, so that a person can see what a real device did. Shared by the
// devices of one run; lines never interleave.
class TraceFile {
  public:
    // `path` "-" is standard error. Empty `problem()` when the file could be opened.
    explicit TraceFile(const std::string& path);
    ~TraceFile();
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;

    const std::string& problem() const { return openProblem; }
    // The hook for one device's runs, its lines labelled `device`.
    TraceHook hookFor(const std::string& device);

    // One event as a line of text, its time counted from `origin` (for tests and the file alike).
    static std::string line(const std::string& device, const TraceEvent& event,
                            std::chrono::steady_clock::duration origin);

  private:
    void write(const std::string& device, const TraceEvent& event);

    std::mutex mutex;
    std::FILE* file = nullptr;
    bool ownsFile = false;
    bool started = false;
    std::chrono::steady_clock::duration origin{};
    std::string openProblem;
};

} // namespace vtc880

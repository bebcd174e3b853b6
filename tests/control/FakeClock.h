#pragma once

#include "vtc880/Clock.h"

#include <atomic>
#include <chrono>
#include <cstdint>

using namespace vtc880;

// A clock whose pauses return at once and move its time on by the pause.
class FakeClock : public Clock {
  public:
    explicit FakeClock(std::chrono::milliseconds start = std::chrono::milliseconds(1000))
        : nanoseconds(std::chrono::nanoseconds(start).count()) {}

    std::chrono::steady_clock::duration now() override {
        return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
            std::chrono::nanoseconds(nanoseconds.load()));
    }
    void sleep(std::chrono::milliseconds duration) override {
        ++sleeps;
        sleptMs += duration.count();
        advance(duration);
    }
    void advance(std::chrono::nanoseconds duration) { nanoseconds += duration.count(); }

    std::atomic<int> sleeps{0};
    std::atomic<std::int64_t> sleptMs{0};

  private:
    std::atomic<std::int64_t> nanoseconds;
};

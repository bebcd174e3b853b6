#pragma once

#include "vtc880/Clock.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>

namespace vtc880 {

// Real time in which every pause is shortened `factor` times while the reported time moves on by the
// whole pause. For runs against the simulated device (tests, benchmarks, a script's own checks): the line and
// the device keep real time (a purge right after the preamble must not beat the device to its bytes), but
// seconds of settling and of paced waiting cost only a tenth.
class ScaledClock : public Clock {
  public:
    explicit ScaledClock(int factor = 10) : factor(factor) {}

    std::chrono::steady_clock::duration now() override {
        return std::chrono::steady_clock::now().time_since_epoch() + std::chrono::nanoseconds(skipped.load());
    }
    void sleep(std::chrono::milliseconds duration) override {
        const auto real = std::chrono::duration_cast<std::chrono::nanoseconds>(duration) / factor;
        std::this_thread::sleep_for(real);
        skipped += (std::chrono::duration_cast<std::chrono::nanoseconds>(duration) - real).count();
    }

  private:
    int factor;
    std::atomic<std::int64_t> skipped{0};
};

} // namespace vtc880

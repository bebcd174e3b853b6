#pragma once

#include <chrono>
#include <cstdint>

namespace vtc880 {

// Time as the updater uses it: a monotonic clock and pauses. Tests substitute a clock whose pauses
// return at once, so that pacing and settling delays need not be waited out.
class Clock {
  public:
    virtual ~Clock() = default;
    virtual std::chrono::steady_clock::duration now() = 0;
    virtual void sleep(std::chrono::milliseconds duration) = 0;

    // Milliseconds cut to 32 bits: wraps like a system tick count; differences stay right across a wrap.
    std::uint32_t tickCount() {
        return std::uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(now()).count());
    }
    void sleepMs(int milliseconds) { sleep(std::chrono::milliseconds(milliseconds)); }
};

// The real clock: steady_clock and std::this_thread::sleep_for.
Clock& systemClock();

} // namespace vtc880

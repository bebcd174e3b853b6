#pragma once

#include "vtc880/Clock.h"

#include <algorithm>
#include <thread>

using namespace vtc880;

// Real time, but no pause longer than 2 ms: the character pacing, the settling waits and the
// window's one-second pause shrink, while every wait still yields to the simulated device.
class QuickClock : public Clock {
  public:
    std::chrono::steady_clock::duration now() override {
        return std::chrono::steady_clock::now().time_since_epoch();
    }
    void sleep(std::chrono::milliseconds duration) override {
        std::this_thread::sleep_for(std::min(duration, std::chrono::milliseconds(2)));
    }
};

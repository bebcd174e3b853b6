#include "vtc880/Clock.h"

#include <thread>

namespace vtc880 {

namespace {

class SystemClock final : public Clock {
  public:
    std::chrono::steady_clock::duration now() override {
        return std::chrono::steady_clock::now().time_since_epoch();
    }
    void sleep(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
};

} // namespace

Clock& systemClock() {
    static SystemClock clock;
    return clock;
}

} // namespace vtc880

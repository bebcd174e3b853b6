#include "app/WindowWake.h"

namespace vtc880 {

class WindowWake::Parts : public PostedWake {
  public:
    using PostedWake::PostedWake;
};

WindowWake::WindowWake(std::function<void()> onWake) : parts(std::make_unique<Parts>(std::move(onWake))) {}

WindowWake::~WindowWake() = default;

void WindowWake::wake() {
    parts->wake();
}

} // namespace vtc880

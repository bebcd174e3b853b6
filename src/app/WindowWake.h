#pragma once

#include <functional>
#include <memory>

namespace vtc880 {

// Wakes the window's thread from any thread: `onWake` then runs there, once for one or for several
// wake-ups made before it ran. Only the wake-up crosses threads here; what the callers hand over goes
// through their own lock. Made and destroyed on the window's thread.
//
// On Linux the wake-up is a write to an eventfd that a socket notifier watches: Qt is not built with
// ThreadSanitizer and its event queue hands over through locks it cannot see, so a posted event
// would look like a race and hide a real one. Elsewhere (and if no eventfd can be had) it is an event
// posted to the window's thread.
class WindowWake {
  public:
    explicit WindowWake(std::function<void()> onWake);
    ~WindowWake();
    WindowWake(const WindowWake&) = delete;
    WindowWake& operator=(const WindowWake&) = delete;

    void wake();

  private:
    class Parts;
    std::unique_ptr<Parts> parts;
};

// The portable wake-up: an event posted to a receiver on the window's thread.
class PostedWake {
  public:
    explicit PostedWake(std::function<void()> onWake);
    ~PostedWake();
    PostedWake(const PostedWake&) = delete;
    PostedWake& operator=(const PostedWake&) = delete;

    void wake();

  private:
    class Receiver;
    std::unique_ptr<Receiver> receiver;
};

} // namespace vtc880

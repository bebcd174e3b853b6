#include "app/WindowWake.h"
#include "vtc880/UniqueFd.h"

#include <QSocketNotifier>
#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

namespace vtc880 {

class WindowWake::Parts {
  public:
    explicit Parts(std::function<void()> wakeUp)
        : onWake(std::move(wakeUp)), fd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
        if (!fd.valid()) {
            posted = std::make_unique<PostedWake>(onWake);
            return;
        }
        notifier = std::make_unique<QSocketNotifier>(fd.get(), QSocketNotifier::Read);
        QObject::connect(notifier.get(), &QSocketNotifier::activated, [this] {
            // Reading resets the counter, so the notifier fires again on the next wake-up only.
            std::uint64_t wakeUps = 0;
            [[maybe_unused]] const ssize_t got = ::read(fd.get(), &wakeUps, sizeof wakeUps);
            onWake();
        });
    }

    // The notifier goes before the descriptor it watches.
    ~Parts() { notifier.reset(); }

    void wake() {
        if (posted) {
            posted->wake();
            return;
        }
        // Adds to the counter; it only fails once 2^64 - 2 wake-ups are unread.
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(fd.get(), &one, sizeof one);
    }

  private:
    const std::function<void()> onWake;
    const UniqueFd fd;
    std::unique_ptr<QSocketNotifier> notifier;
    std::unique_ptr<PostedWake> posted; // only when no eventfd could be had
};

WindowWake::WindowWake(std::function<void()> onWake) : parts(std::make_unique<Parts>(std::move(onWake))) {}

WindowWake::~WindowWake() = default;

void WindowWake::wake() {
    parts->wake();
}

} // namespace vtc880

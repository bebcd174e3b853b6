#include "app/WindowWake.h"

#include <QCoreApplication>
#include <QEvent>
#include <QObject>

namespace vtc880 {

class PostedWake::Receiver final : public QObject {
  public:
    explicit Receiver(std::function<void()> onWake) : onWake(std::move(onWake)) {}

    bool event(QEvent* event) override {
        if (event->type() == QEvent::User) {
            onWake();
            return true;
        }
        return QObject::event(event);
    }

  private:
    std::function<void()> onWake;
};

PostedWake::PostedWake(std::function<void()> onWake)
    : receiver(std::make_unique<Receiver>(std::move(onWake))) {}

// Wake-ups still posted are deleted with their receiver.
PostedWake::~PostedWake() = default;

void PostedWake::wake() {
    QCoreApplication::postEvent(receiver.get(), new QEvent(QEvent::User));
}

} // namespace vtc880

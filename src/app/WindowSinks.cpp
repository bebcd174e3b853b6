#include "app/WindowSinks.h"

#include "app/Text.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QProgressBar>
#include <QTextEdit>
#include <QWidget>
#include <algorithm>

namespace vtc880 {

WindowSinks::WindowSinks(QWidget& window, QTextEdit& statusBox, QProgressBar& progressBar)
    : window(window), statusBox(statusBox), progressBar(progressBar),
      windowThread(std::this_thread::get_id()), wake([this] { runPending(); }) {}

WindowSinks::~WindowSinks() = default;

void WindowSinks::post(std::function<void()> action) {
    {
        std::lock_guard lock(mutex);
        if (closed) {
            return;
        }
        pending.push_back(std::move(action));
    }
    wake.wake();
}

void WindowSinks::runPending() {
    // Only the actions queued by now: later ones wake this again, so reports that keep coming never
    // hold the window's thread. Taken one at a time, not as a batch: an action that runs an event
    // loop (a message box) lets the ones behind it run meanwhile, still in order.
    std::size_t count = 0;
    {
        std::lock_guard lock(mutex);
        count = pending.size();
    }
    for (; count > 0; --count) {
        std::function<void()> action;
        {
            std::lock_guard lock(mutex);
            if (pending.empty()) {
                return; // dropped by close(), or run by an event loop an action opened
            }
            action = std::move(pending.front());
            pending.pop_front();
        }
        action();
    }
}

bool WindowSinks::isClosed() {
    std::lock_guard lock(mutex);
    return closed;
}

void WindowSinks::close() {
    std::deque<std::function<void()>> dropped;
    {
        std::lock_guard lock(mutex);
        closed = true;
        dropped.swap(pending);
    }
    boxDone.notify_all();
    for (QMessageBox* box : openBoxes) {
        box->done(QMessageBox::Ok);
    }
}

void WindowSinks::setStatusText(const std::string& text) {
    post([this, text = displayText(text)] { statusBox.setPlainText(text); });
}

void WindowSinks::showStatus() {
    post([this] { statusBox.show(); });
}

void WindowSinks::setProgressMaximum(std::int32_t maximum) {
    // A range of 0..0 would make the bar an endless busy indicator; an empty range shows an empty bar.
    post([this, maximum] { progressBar.setRange(0, std::max(maximum, 1)); });
}

void WindowSinks::setProgressValue(std::int32_t value) {
    // The bar ignores values outside its range; keep them at its ends instead.
    post([this, value] {
        progressBar.setValue(std::clamp(value, progressBar.minimum(), progressBar.maximum()));
    });
}

void WindowSinks::setTitle(const std::string& title) {
    post([this, title = displayText(title)] { window.setWindowTitle(title); });
}

void WindowSinks::repaint() {
    // Asked on the window's own thread, by code that is about to hold it (the speed switch), the
    // reports so far are shown now: later would be after it.
    if (std::this_thread::get_id() == windowThread) {
        runPending();
        window.repaint();
        return;
    }
    post([this] { window.repaint(); });
}

void WindowSinks::messageBox(const Message& message) {
    if (std::this_thread::get_id() == windowThread) {
        show(message);
        return;
    }
    // The worker may return before its box has run (the sinks closed): the action keeps its own copy
    // of the message, which lives on the worker's stack, and shares the flag it sets.
    auto answered = std::make_shared<bool>(false);
    post([this, message, answered] {
        show(message);
        std::lock_guard lock(mutex);
        *answered = true;
        boxDone.notify_all();
    });
    std::unique_lock lock(mutex);
    boxDone.wait(lock, [&] { return *answered || closed; });
}

void WindowSinks::show(const Message& message) {
    if (isClosed()) {
        return;
    }
    QMessageBox box(message.icon == MessageIcon::information ? QMessageBox::Information
                                                             : QMessageBox::Critical,
                    displayText(message.caption), displayText(message.text), QMessageBox::Ok, &window);
    box.setTextFormat(Qt::PlainText);
    std::string detail = message.detail;
    if (const std::string more = moreDetail ? moreDetail(message) : std::string(); !more.empty()) {
        detail += (detail.empty() ? "" : "\n\n") + more;
    }
    if (!detail.empty()) {
        box.setDetailedText(displayText(detail));
    }
    openBoxes.push_back(&box);
    box.exec();
    openBoxes.erase(std::find(openBoxes.begin(), openBoxes.end(), &box));
}

void WindowSinks::exitApplication() {
    // Dropped once closed, like every report: the window is going, and the program ends with it.
    post([] { QCoreApplication::quit(); });
}

} // namespace vtc880

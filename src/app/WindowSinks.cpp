#include "app/WindowSinks.h"

#include "app/Text.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QMetaObject>
#include <QProgressBar>
#include <QTextEdit>
#include <QThread>
#include <QWidget>
#include <algorithm>

WindowSinks::WindowSinks(QWidget& window, QTextEdit& statusBox, QProgressBar& progressBar)
    : window(window), statusBox(statusBox), progressBar(progressBar) {}

template <typename Action> void WindowSinks::post(Action action) {
    if (closed) {
        return;
    }
    // Queued even on the window's own thread, so a report never runs inside the code that made it.
    QMetaObject::invokeMethod(
        &window,
        [this, action = std::move(action)] {
            if (!closed) {
                action();
            }
        },
        Qt::QueuedConnection);
}

void WindowSinks::close() {
    closed = true;
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
    post([this] { window.repaint(); });
}

void WindowSinks::messageBox(const Message& message) {
    if (closed) {
        return;
    }
    if (QThread::currentThread() == window.thread()) {
        show(message);
        return;
    }
    QMetaObject::invokeMethod(
        &window, [this, &message] { show(message); }, Qt::BlockingQueuedConnection);
}

void WindowSinks::show(const Message& message) {
    if (closed) {
        return;
    }
    QMessageBox box(message.icon == MessageIcon::information ? QMessageBox::Information
                                                             : QMessageBox::Critical,
                    displayText(message.caption), displayText(message.text), QMessageBox::Ok, &window);
    box.setTextFormat(Qt::PlainText);
    if (!message.detail.empty()) {
        box.setDetailedText(displayText(message.detail));
    }
    openBoxes.push_back(&box);
    box.exec();
    openBoxes.erase(std::find(openBoxes.begin(), openBoxes.end(), &box));
}

void WindowSinks::exitApplication() {
    QMetaObject::invokeMethod(QCoreApplication::instance(), &QCoreApplication::quit, Qt::QueuedConnection);
}

#pragma once

#include "app/WindowWake.h"
#include "vtc880/Sinks.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QMessageBox;
class QProgressBar;
class QTextEdit;
class QWidget;

namespace vtc880 {

// The window's side of the sinks, made on the window's thread. The worker calls them from its
// own thread; each call becomes an action in a queue the window's thread runs, where the widgets
// live. A message box blocks its caller until dismissed (a worker waits while the window stays
// responsive); called on the window's own thread it is shown at once, since waiting there for the
// window's thread would never return. A repaint asked on the window's thread shows what is queued
// at once, for code that holds the window's thread next.
//
// The queue is the sinks' own, under a std::mutex, and only a bare wake-up tells the window's thread
// to run it: what a report carries never travels through Qt's own hand-off between threads, which
// ThreadSanitizer cannot see.
class WindowSinks final : public Sinks {
  public:
    WindowSinks(QWidget& window, QTextEdit& statusBox, QProgressBar& progressBar);
    ~WindowSinks() override;
    WindowSinks(const WindowSinks&) = delete;
    WindowSinks& operator=(const WindowSinks&) = delete;

    // The window is going away: pending and later reports are dropped, workers waiting on a message
    // box return at once, later boxes return at once, and any box still open is closed. Window's
    // thread only.
    void close();

    // More detail for the boxes: `more` is asked on the window's thread as each box opens, and what it
    // gives follows the box's own detail.
    void addDetail(std::function<std::string(const Message&)> more) { moreDetail = std::move(more); }

    void setStatusText(const std::string& text) override;
    void showStatus() override;
    void setProgressMaximum(std::int32_t maximum) override;
    void setProgressValue(std::int32_t value) override;
    void setTitle(const std::string& title) override;
    void repaint() override;
    void messageBox(const Message& message) override;
    void exitApplication() override;

  private:
    // Queues `action` for the window's thread, even when called there, so a report never runs
    // inside the code that made it. Dropped once closed.
    void post(std::function<void()> action);
    // Window's thread: runs the actions queued so far, in order.
    void runPending();
    bool isClosed();
    void show(const Message& message);

    QWidget& window;
    QTextEdit& statusBox;
    QProgressBar& progressBar;
    const std::thread::id windowThread; // the thread that made the sinks, the window's

    std::mutex mutex;
    std::condition_variable boxDone;           // a worker's box was dismissed, or the sinks closed
    std::deque<std::function<void()>> pending; // guarded by `mutex`
    bool closed = false;                       // guarded by `mutex`
    WindowWake wake;                           // runs the queue on the window's thread
    std::vector<QMessageBox*> openBoxes;       // window's thread only
    std::function<std::string(const Message&)> moreDetail; // window's thread only
};

} // namespace vtc880

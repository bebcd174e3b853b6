#pragma once

#include "control/Sinks.h"

#include <atomic>
#include <vector>

class QMessageBox;
class QProgressBar;
class QTextEdit;
class QWidget;

// The window's side of the sinks. The worker calls them from its own thread; each call is queued
// onto the window's thread, where the widgets live. A message box blocks its caller until dismissed
// (a worker waits while the window stays responsive); called on the window's own thread it is shown
// at once, since a blocking hop to the same thread would never return.
class WindowSinks final : public Sinks {
  public:
    WindowSinks(QWidget& window, QTextEdit& statusBox, QProgressBar& progressBar);
    WindowSinks(const WindowSinks&) = delete;
    WindowSinks& operator=(const WindowSinks&) = delete;

    // The window is going away: reports are dropped from now on, message boxes return at once, and
    // any box still open is closed. Window's thread only.
    void close();

    void setStatusText(const std::string& text) override;
    void showStatus() override;
    void setProgressMaximum(std::int32_t maximum) override;
    void setProgressValue(std::int32_t value) override;
    void setTitle(const std::string& title) override;
    void repaint() override;
    void messageBox(const Message& message) override;
    void exitApplication() override;

  private:
    template <typename Action> void post(Action action);
    void show(const Message& message);

    QWidget& window;
    QTextEdit& statusBox;
    QProgressBar& progressBar;
    std::atomic<bool> closed{false};
    std::vector<QMessageBox*> openBoxes; // window's thread only
};

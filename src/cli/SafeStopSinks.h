#pragma once

#include "control/Sinks.h"

#include <atomic>

// The sinks of one station job, passing every call on. Once a gentle stop is asked, the job is
// stopped at its next report as long as its erase has not begun ("Erasing" is the first report after
// the erase-time query): up to there the device holds what it held. Past it the job runs to its end.
class SafeStopSinks : public Sinks {
  public:
    SafeStopSinks(Sinks& inner, const std::atomic<bool>& gentleStop, std::atomic<bool>& stop)
        : inner(inner), gentleStop(gentleStop), stop(stop) {}

    void setStatusText(const std::string& text) override {
        if (text.rfind("Erasing", 0) == 0) {
            pastErase = true;
        }
        check();
        inner.setStatusText(text);
    }
    void showStatus() override {
        check();
        inner.showStatus();
    }
    void setProgressMaximum(std::int32_t maximum) override {
        check();
        inner.setProgressMaximum(maximum);
    }
    void setProgressValue(std::int32_t value) override {
        check();
        inner.setProgressValue(value);
    }
    void setTitle(const std::string& title) override {
        check();
        inner.setTitle(title);
    }
    void repaint() override {
        check();
        inner.repaint();
    }
    void messageBox(const Message& message) override {
        check();
        inner.messageBox(message);
    }
    void exitApplication() override { inner.exitApplication(); }

  private:
    Sinks& inner;
    const std::atomic<bool>& gentleStop;
    std::atomic<bool>& stop;
    bool pastErase = false; // the job's thread only

    void check() {
        if (!pastErase && gentleStop.load()) {
            stop = true;
        }
    }
};

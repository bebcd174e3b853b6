#pragma once

#include "vtc880/WidgetReport.h"

#include <mutex>
#include <string>
#include <vector>

using namespace vtc880;

// Records every call in order, as "kind:value" lines; message boxes are answered at once. It is also
// the run's observer, through the window's own adapter, so that a test hands it to a Command or a
// Session as the window hands its widgets.
class RecordingSinks : public Sinks {
  public:
    operator RunObserver&() { return report; }
    // The run entered `phase` (before the adapter turns it into calls).
    virtual void phaseEntered(Phase phase) { (void)phase; }

    void setStatusText(const std::string& text) override { add("status:" + text); }
    void showStatus() override { add("show"); }
    void setProgressMaximum(std::int32_t maximum) override { add("max:" + std::to_string(maximum)); }
    void setProgressValue(std::int32_t value) override { add("value:" + std::to_string(value)); }
    void setTitle(const std::string& title) override { add("title:" + title); }
    void repaint() override { add("repaint"); }
    void messageBox(const Message& message) override {
        std::lock_guard<std::mutex> lock(mutex);
        boxes.push_back(message);
        calls.push_back("box:" + message.text + "|" + message.caption + "|" +
                        (message.icon == MessageIcon::error ? "error" : "information"));
    }
    void exitApplication() override { add("exit"); }

    std::vector<std::string> all() const;
    // The values of the calls of one kind ("status", "title", "value", "max", "box"), in order.
    std::vector<std::string> of(const std::string& kind) const;
    std::vector<Message> messages() const;
    bool has(const std::string& call) const;

  private:
    void add(std::string call) {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back(std::move(call));
    }

    struct Report : WidgetReport {
        explicit Report(RecordingSinks& sinks) : WidgetReport(sinks), sinks(sinks) {}
        void phase(Phase phase) override {
            sinks.phaseEntered(phase);
            WidgetReport::phase(phase);
        }
        RecordingSinks& sinks;
    };

    mutable std::mutex mutex;
    std::vector<std::string> calls;
    std::vector<Message> boxes;
    Report report{*this};
};

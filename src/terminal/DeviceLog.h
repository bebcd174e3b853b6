#pragma once

#include "terminal/Output.h"
#include "vtc880/DeviceEvents.h"
#include "vtc880/DeviceProgress.h"
#include "vtc880/WidgetReport.h"

#include <memory>
#include <string>
#include <vector>

namespace vtc880 {

// Where a view of devices writes: live lines on a terminal, a plain log, or JSON events.
enum class ViewStyle { terminal, plain, json };
ViewStyle viewStyleFor(const Output& out); // the style that fits where human text goes

// One device's run as the tool tells it, the same in `vtc880 update` and in a station: it follows the
// run's phase and progress events (the model behind the device's live line) and writes what they mean
// for the style. A plain log gets one line per phase, saying what it covers, and how far the phase
// got at each quarter; JSON gets the phase, progress, status and message events, paced as the README
// says; a terminal gets nothing here (its view draws the live line from progress()). The window's
// status texts and boxes (through the window's own WidgetReport) reach only JSON. Used from one
// thread.
class DeviceLog {
  public:
    // `label` starts each log line ("COM1", "A: /dev/ttyUSB0"); `port`, and a station's `slot` (empty
    // outside a station), name the device in its events.
    DeviceLog(const Output& out, ViewStyle style, std::string label, std::string port, std::string slot,
              const RunPlan& plan);

    // What an event changed, for a live line: a new phase is worth a redraw at once, progress in time.
    enum class Change { none, phase, progress };
    Change apply(const DeviceEvent& event);

    const DeviceProgress& progress() const { return model; }

  private:
    using Clock = DeviceProgress::Clock;

    // What the window would show of the event being applied.
    struct Shown : Sinks {
        std::vector<std::string> statuses;
        std::vector<Message> boxes;
        void setStatusText(const std::string& text) override { statuses.push_back(text); }
        void showStatus() override {}
        void setProgressMaximum(std::int32_t) override {}
        void setProgressValue(std::int32_t) override {}
        void setTitle(const std::string&) override {}
        void repaint() override {}
        void messageBox(const Message& message) override { boxes.push_back(message); }
        void exitApplication() override {}
    };

    const Output& out;
    ViewStyle style;
    std::string label;
    std::string port;
    std::string slot;
    DeviceProgress model;
    int percentShown = -1;       // in the log, or the JSON progress events, of the phase under way
    int blockShown = -1;         // the same for the block
    bool announcedShown = false; // the erase's announced time, in the log
    // On the heap: the adapter keeps its sinks by reference, and logs move (a vector of them grows).
    std::unique_ptr<Shown> shown = std::make_unique<Shown>();
    std::unique_ptr<WidgetReport> window = std::make_unique<WidgetReport>(*shown);
    bool countingShown = false;   // the last status event counted on within a block
    Clock::time_point statusAt{}; // and when it was written

    void onPhase(Phase phase, Clock::time_point at);
    void onProgress(const PhaseProgress& progress, Clock::time_point at);
    // Writes what the window would have shown of the event just applied to `window`.
    void showWindow(bool counting, Clock::time_point at);
    void log(const std::string& text) const;
};

} // namespace vtc880

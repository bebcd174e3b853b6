#pragma once

#include "jobs/DeviceEvents.h"
#include "jobs/DeviceProgress.h"
#include "terminal/Output.h"

#include <string>

namespace vtc880 {

// Where a view of devices writes: live lines on a terminal, a plain log, or JSON events.
enum class ViewStyle { terminal, plain, json };
ViewStyle viewStyleFor(const Output& out); // the style that fits where human text goes

// One device's run as the tool tells it, the same in `vtc880 update` and in a station: it follows the
// run's phase and progress events (the model behind the device's live line) and writes what they mean
// for the style. A plain log gets one line per phase, saying what it covers, and how far the phase
// got at each quarter; JSON gets the phase, progress, status and message events, paced as the README
// says; a terminal gets nothing here (its view draws the live line from progress()). The window's
// status texts reach only JSON. Used from one thread.
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

    const Output& out;
    ViewStyle style;
    std::string label;
    std::string port;
    std::string slot;
    DeviceProgress model;
    int percentShown = -1;       // in the log, or the JSON progress events, of the phase under way
    int blockShown = -1;         // the same for the block
    bool announcedShown = false; // the erase's announced time, in the log
    std::string statusShape;     // of the last status event
    Clock::time_point statusAt{};

    void onPhase(Phase phase, Clock::time_point at);
    void onProgress(const PhaseProgress& progress, Clock::time_point at);
    void onStatus(const std::string& text, Clock::time_point at);
    void onMessage(const Message& message);
    void log(const std::string& text) const;
};

} // namespace vtc880

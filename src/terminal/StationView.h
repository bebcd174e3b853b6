#pragma once

#include "terminal/DeviceLog.h"
#include "terminal/LiveLines.h"
#include "terminal/Output.h"
#include "vtc880/StationReport.h"

#include <memory>
#include <string>
#include <vector>

namespace vtc880 {

// What a station shows. On a terminal a table redrawn in place, one line per slot (and per further
// port of a slot that covers several sockets): slot, port, USB serial number, phase, percent, bar,
// time left and last result, each line fitted to the terminal's width; what stays (arrivals aside)
// is written above it. Piped, a log: the station's events, and each update's phases and progress as
// `update` logs them, each line starting with its slot and port. With --json one object per event,
// a device's run as `update` writes it with its `slot`. Used from the station's thread only.
class StationView : public StationReport {
  public:
    using Style = ViewStyle;
    StationView(const Output& out, Style style);
    static Style styleFor(const Output& out);

    void watching(const std::vector<std::string>& slots, const std::string& where, bool polling) override;
    void image(const ImageFacts* facts, const std::string& path, const std::string& problem) override;
    void arrived(const SlotPort& port) override;
    void left(const SlotPort& port) override;
    void started(const SlotPort& port, const RunPlan& plan) override;
    void progress(const SlotPort& port, const DeviceEvent& event) override;
    void finished(const SlotPort& port, const RunResult& result, const std::string& text,
                  double seconds) override;
    void notice(const std::string& text) override;
    void summary(const StationSummary& summary) override;
    void tick() override;

  private:
    using Clock = DeviceProgress::Clock;
    struct Row {
        std::size_t slot = 0;
        std::string slotName;
        std::string port; // empty while the slot has seen none
        std::string serial;
        bool present = false;
        std::string state = "waiting";  // while no update runs: "arrived", "updated", "FAILED", "gone"
        std::unique_ptr<DeviceLog> run; // the update under way
        std::string last;               // the last result, in a few words
    };

    const Output& out;
    Style style;
    std::string imagePath;           // of the image the updates send, for their start events
    std::string imageVersion;        // and its version
    bool watched = false;            // watching() came: an image refused now does not end the station
    std::unique_ptr<LiveLines> live; // on a terminal: the table
    std::vector<Row> rows;

    Row& rowFor(const SlotPort& port);
    void line(const std::string& text); // a line that stays, above the table on a terminal
    void draw(bool force);
    // The table's lines for `width` columns: the header, then the rows, in columns that line up.
    std::vector<std::string> tableLines(std::size_t width, Clock::time_point now) const;
    static std::string label(const SlotPort& port);
};

} // namespace vtc880

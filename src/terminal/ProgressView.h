#pragma once

#include "terminal/DeviceLog.h"
#include "terminal/LineFit.h"
#include "terminal/LiveLines.h"
#include "terminal/Output.h"
#include "vtc880/DeviceEvents.h"
#include "vtc880/DeviceProgress.h"

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace vtc880 {

// One device as the view shows it: the name the user knows it by, and what its run will do.
struct ViewedDevice {
    std::string port;
    RunPlan plan;
};

// Shows the runs of one or more devices by their phases: on a terminal one live line per device that
// fits the terminal's width; in a file or a pipe a log of plain lines in the order things happened;
// with --json the events (each device's DeviceLog writes those two). Used from one thread only.
class ProgressView {
  public:
    using Style = ViewStyle;

    ProgressView(const Output& out, std::vector<ViewedDevice> devices, Style style);
    void apply(const DeviceEvent& event);
    // The device's run has ended: until finish(), its live line says `brief` ("updated", "FAILED
    // (port)").
    void ended(int device, const std::string& brief);
    // A problem for a person, on standard error: it stays, above the live lines.
    void problem(const std::string& line);
    // Between events: on a terminal, redraws after a resize and as the time left counts down.
    void tick();
    // The runs are over: the live lines give way to `lines` (each device's result, and a total).
    void finish(const std::vector<std::string>& lines);

    // The style that fits where human text goes.
    static Style styleFor(const Output& out);

    // The live line of a device for a terminal, as fields for fitLine(), lowest `keep` dropped first:
    // name, phase, percent, bar, bytes, block, speed, time left.
    static std::vector<LineField> lineFields(const std::string& port, const DeviceProgress& progress,
                                             DeviceProgress::Clock::time_point now);

  private:
    using Clock = DeviceProgress::Clock;
    struct Device {
        Device(const Output& out, Style style, const std::string& port, const RunPlan& plan)
            : port(port), log(out, style, port, port, {}, plan) {}
        std::string port;
        DeviceLog log;
        std::string brief; // once ended
    };

    const Output& out;
    Style style;
    std::vector<Device> devices;
    std::unique_ptr<LiveLines> live; // on a terminal

    void draw(bool force);
};

} // namespace vtc880

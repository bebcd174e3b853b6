#pragma once

#include "cli/DeviceEvents.h"
#include "cli/Output.h"

#include <chrono>
#include <set>
#include <string>
#include <vector>

// Shows the events of one or more devices: a live bar per device on a terminal, plain lines when the
// output is a file or a pipe, or JSON objects. Used from one thread only.
class ProgressView {
  public:
    enum class Style { terminal, plain, json };

    ProgressView(const Output& out, std::vector<std::string> ports, Style style);
    void apply(const DeviceEvent& event);
    // A line that stays, above the live bars (a device's result, for example).
    void note(const std::string& line);
    void finish(); // leaves the bars as they are and moves below them

    // The style that fits where human text goes.
    static Style styleFor(const Output& out);

  private:
    using Clock = std::chrono::steady_clock;
    struct Device {
        std::string port;
        std::string status;
        std::int64_t maximum = 0;
        std::int64_t value = 0;
        Clock::time_point phaseStart = Clock::now();
        std::int64_t lastPercentShown = -1;
        std::set<std::string> printed; // status lines already in a plain log
    };

    const Output& out;
    Style style;
    std::vector<Device> devices;
    bool drawn = false;
    Clock::time_point lastDraw{};

    void onStatus(Device& device, const std::string& text);
    void onProgress(Device& device);
    void draw(bool force);
    std::string barLine(const Device& device) const;
    void plainLine(const Device& device, const std::string& text) const;
};

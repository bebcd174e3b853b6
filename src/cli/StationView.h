#pragma once

#include "cli/Output.h"
#include "cli/StationReport.h"

#include <chrono>
#include <set>
#include <string>
#include <vector>

// What a station shows: on a terminal one line per slot (and per further port of a slot that covers
// several sockets) with the port, the USB serial number, the phase, the percentage and the last
// result, redrawn in place; piped, one line per event; with --json one object per event as `update`
// writes them. Used from the station's thread only.
class StationView : public StationReport {
  public:
    enum class Style { terminal, plain, json };
    StationView(const Output& out, Style style, std::size_t width = 120);
    static Style styleFor(const Output& out);

    void watching(const std::vector<std::string>& slots, const std::string& where, bool polling) override;
    void image(const ImageFacts* facts, const std::string& path, const std::string& problem) override;
    void arrived(const SlotPort& port) override;
    void left(const SlotPort& port) override;
    void started(const SlotPort& port) override;
    void progress(const SlotPort& port, const DeviceEvent& event) override;
    void finished(const SlotPort& port, const JobResult& result, const std::string& text,
                  double seconds) override;
    void notice(const std::string& text) override;
    void summary(const StationSummary& summary) override;

  private:
    struct Row {
        std::size_t slot = 0;
        std::string slotName;
        std::string port; // empty while the slot has seen none
        std::string serial;
        std::string phase;
        std::int64_t maximum = 0;
        std::int64_t value = 0;
        std::int64_t lastPercentShown = -1;
        std::string last;
        std::set<std::string> printed; // status shapes already in a plain log, for this update
    };
    using Clock = std::chrono::steady_clock;

    const Output& out;
    Style style;
    std::size_t width;
    std::vector<Row> rows;
    std::size_t drawnRows = 0;
    Clock::time_point lastDraw{};

    Row& rowFor(const SlotPort& port);
    void line(const std::string& text); // a line that stays, above the table on a terminal
    void draw(bool force);
    std::string rowText(const Row& row) const;
    static std::string label(const SlotPort& port);
};

#pragma once

#include "vtc880/RunObserver.h"
#include "vtc880/Sinks.h"

#include <optional>

namespace vtc880 {

// A run's events as the window shows them: the status line, the progress bar, the title with the
// percent programmed, the message boxes, and the end of the program once an update has succeeded and
// its box was dismissed. The window's texts live here, and nowhere else: the window and the tool's
// JSON status and message events both come through this.
class WidgetReport : public RunObserver {
  public:
    explicit WidgetReport(Sinks& sinks) : sinks(sinks) {}

    void phase(Phase phase) override;
    void phaseEnded(Phase phase) override;
    void progress(const PhaseProgress& progress) override;
    void log(const RunLog& log) override;
    void problem(const RunProblem& problem) override;
    void ended(Operation operation, Outcome outcome) override;

    // The message box the window shows for `problem`.
    static Message boxFor(const RunProblem& problem);

  private:
    Sinks& sinks;
    bool eraseBarSet = false; // the bar's range is the erase's announced time
};

// Progress values are 32-bit; larger counts show as full.
std::int32_t toProgress(std::uint64_t value);

} // namespace vtc880

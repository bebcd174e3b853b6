#include "vtc880/WidgetReport.h"

#include "vtc880/Format.h"

#include <algorithm>
#include <limits>

namespace vtc880 {

namespace {

const char* const idleTitle = " VTC880 - Firmware Update";

// "Copying 3ko / 50ko  (6%)": kilobytes as the device's memory counts them, and the percent.
std::string copyingText(const PhaseProgress& progress) {
    const auto totalKo = (unsigned long long)(progress.total >> 10);
    if (progress.blockDone == 0) {
        return formatText("Copying 0ko / %lluko  (100%%)", totalKo);
    }
    const int pct = int(double(progress.done) * 100.0 / double(progress.total));
    return formatText("Copying %lluko / %lluko  (%d%%)", (unsigned long long)(progress.done >> 10), totalKo,
                      pct);
}

} // namespace

void WidgetReport::phase(Phase phase) {
    if (phase == Phase::erase) {
        eraseBarSet = false;
        sinks.setStatusText("");
        sinks.setProgressValue(0);
    }
}

void WidgetReport::phaseEnded(Phase phase) {
    if (phase == Phase::programming) {
        sinks.setTitle(idleTitle);
    }
}

void WidgetReport::progress(const PhaseProgress& progress) {
    switch (progress.phase) {
    case Phase::erase:
        // The bar follows the clock until the announced time has passed, then waits full of it.
        if (!eraseBarSet) {
            eraseBarSet = true;
            sinks.setProgressMaximum(toProgress(progress.total));
            sinks.setProgressValue(0);
        } else if (progress.done < progress.total) {
            sinks.setProgressValue(toProgress(progress.done));
        }
        break;
    case Phase::programming:
        if (progress.block < 0) {
            sinks.setProgressMaximum(toProgress(progress.total));
            sinks.setProgressValue(0);
        } else if (progress.blockDone == 0) {
            sinks.setStatusText(copyingText(progress));
            sinks.showStatus();
        } else {
            const int pct = int(double(progress.done) * 100.0 / double(progress.total));
            sinks.setStatusText(copyingText(progress));
            sinks.setTitle(formatText(" [%d%%] VTC880 - Firmware Update", pct));
            sinks.setProgressValue(toProgress(progress.done));
            sinks.repaint();
        }
        break;
    case Phase::verify: {
        // The bar and the text count the block under way.
        const auto sizeKo = (unsigned long long)(progress.blockSize >> 10);
        if (progress.blockDone == 0) {
            sinks.setStatusText(formatText("Verifying 0ko / %lluko", sizeKo));
            sinks.showStatus();
            sinks.setProgressMaximum(toProgress(progress.blockSize));
            sinks.setProgressValue(0);
        } else {
            sinks.setStatusText(formatText("Verifying %lluko / %lluko",
                                           (unsigned long long)(progress.blockDone >> 10), sizeKo));
            sinks.setProgressValue(toProgress(progress.blockDone));
            sinks.repaint();
        }
        break;
    }
    default:
        break;
    }
}

void WidgetReport::log(const RunLog& log) {
    sinks.setStatusText(runLogText(log));
    if (log.step == RunStep::starting) {
        sinks.repaint(); // the press holds the window's thread through the speed switch next
    }
}

Message WidgetReport::boxFor(const RunProblem& problem) {
    Message box;
    box.icon = MessageIcon::error;
    box.detail = problem.detail;
    switch (problem.kind) {
    case RunProblem::Kind::portNotOpened:
        box.text = formatText("Error while connecting to %s !!!", problem.port.c_str());
        box.caption = "Error: " + problem.during;
        break;
    case RunProblem::Kind::noWorker:
        box.text = "Could not start the update: the system refused a new thread.";
        box.caption = "Error: " + problem.during;
        box.detail = problem.detail + ". Close other programs and try again.";
        break;
    case RunProblem::Kind::imageUnreadable:
        box.text = "Coult not open firmware file !";
        box.caption = "File error";
        break;
    case RunProblem::Kind::connectionError:
        box.text = "VTC880 Connection error !";
        box.caption = "Error";
        break;
    case RunProblem::Kind::updateFailed:
        box.text = "Firmware update failed !";
        box.caption = "Error";
        break;
    }
    return box;
}

void WidgetReport::problem(const RunProblem& problem) {
    const Message box = boxFor(problem);
    if (problem.kind == RunProblem::Kind::imageUnreadable) {
        sinks.setStatusText(box.text);
    }
    sinks.messageBox(box);
    if (problem.kind == RunProblem::Kind::updateFailed && problem.phase == Phase::erase) {
        sinks.setTitle(idleTitle); // programming never began
    }
}

void WidgetReport::ended(Operation operation, Outcome outcome) {
    if (operation == Operation::update && outcome == Outcome::succeeded) {
        Message box;
        box.text = "Firmware updated !\nClick OK to close VTC880 Firmware Updater";
        box.caption = "VTC880 updated";
        box.icon = MessageIcon::information;
        sinks.messageBox(box);
        sinks.exitApplication();
    }
}

std::int32_t toProgress(std::uint64_t value) {
    constexpr auto most = std::uint64_t(std::numeric_limits<std::int32_t>::max());
    return std::int32_t(std::min(value, most));
}

} // namespace vtc880

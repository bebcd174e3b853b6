#include "terminal/DeviceLog.h"

#include "vtc880/Format.h"
#include "vtc880/JsonEvents.h"

#include <unistd.h>

namespace vtc880 {

namespace {

// Status texts that only count on ("Copying 3ko / 50ko  (6%)"): at most one event in this time.
constexpr auto statusEvery = std::chrono::milliseconds(250);
constexpr int logStepPercent = 25; // a plain log says how far a phase got at every quarter

// What a phase covers, after its name on the line that begins it.
std::string coverage(const RunPlan& plan, Phase phase) {
    const std::string blocks =
        " bytes in " + std::to_string(plan.blocks) + (plan.blocks == 1 ? " block" : " blocks");
    switch (phase) {
    case Phase::speedSwitch:
        return ": from " + std::to_string(linkEntry(plan.link).initialSpeed) + " to " +
               std::to_string(plan.lineSpeed) + " bit/s";
    case Phase::updateMode:
        return ": the preamble, then the handshake";
    case Phase::erase:
        return ": the whole firmware";
    case Phase::programming:
    case Phase::verify:
        return ": " + groupedThousands(plan.imageBytes) + blocks;
    case Phase::finish:
        return ": the device takes the new firmware";
    }
    return {};
}

// "programming: 50% (1,504 of 3,004 bytes, block 2 of 2)", "erase: 50% (0.1 of 0.2 s)".
std::string progressLine(const PhaseProgress& progress, int percent) {
    std::string line =
        std::string(phaseText(progress.phase)) + ": " + std::to_string(percent) + "% (" +
        (progress.phase == Phase::erase
             ? oneDecimal(double(progress.done) / 1000.0) + " of " +
                   oneDecimal(double(progress.total) / 1000.0) + " s"
             : groupedThousands(progress.done) + " of " + groupedThousands(progress.total) + " bytes");
    if (progress.block >= 0) {
        line += ", block " + std::to_string(progress.block + 1) + " of " + std::to_string(progress.blocks);
    }
    return line + ")";
}

} // namespace

ViewStyle viewStyleFor(const Output& out) {
    if (out.json()) {
        return ViewStyle::json;
    }
    return isatty(STDOUT_FILENO) ? ViewStyle::terminal : ViewStyle::plain;
}

DeviceLog::DeviceLog(const Output& out, ViewStyle style, std::string label, std::string port,
                     std::string slot, const RunPlan& plan)
    : out(out), style(style), label(std::move(label)), port(std::move(port)), slot(std::move(slot)),
      model(plan) {}

DeviceLog::Change DeviceLog::apply(const DeviceEvent& event) {
    Change change = Change::none;
    bool counting = false;
    switch (event.kind) {
    case DeviceEvent::Kind::phase:
        onPhase(event.phase, event.at);
        window->phase(event.phase);
        change = Change::phase;
        break;
    case DeviceEvent::Kind::phaseEnded:
        window->phaseEnded(event.phase);
        break;
    case DeviceEvent::Kind::progress: {
        const bool newPhase = model.phase() != event.progress.phase;
        onProgress(event.progress, event.at);
        window->progress(event.progress);
        // Within a block the status only counts on.
        counting = event.progress.blockDone > 0;
        change = newPhase ? Change::phase : Change::progress;
        break;
    }
    case DeviceEvent::Kind::log:
        window->log(event.log);
        break;
    case DeviceEvent::Kind::problem:
        window->problem(event.problem);
        break;
    case DeviceEvent::Kind::done:
        break;
    }
    showWindow(counting, event.at);
    return change;
}

void DeviceLog::onPhase(Phase phase, Clock::time_point at) {
    model.enter(phase, at);
    percentShown = -1;
    blockShown = -1;
    switch (style) {
    case ViewStyle::json:
        out.event(phaseEvent(port, phase, slot));
        break;
    case ViewStyle::plain:
        log(phaseText(phase) + coverage(model.plan(), phase));
        break;
    case ViewStyle::terminal:
        break;
    }
}

void DeviceLog::onProgress(const PhaseProgress& progress, Clock::time_point at) {
    if (model.phase() != progress.phase) {
        onPhase(progress.phase, at);
    }
    model.advance(progress, at);
    const int percent = model.percent();
    switch (style) {
    case ViewStyle::json:
        // Programming says its start before its first block: the events name the block.
        if (progress.block < 0 && progress.phase != Phase::erase) {
            break;
        }
        if (percent != percentShown || progress.block != blockShown) {
            percentShown = percent;
            blockShown = progress.block;
            out.event(progressEvent(port, model, at, slot));
        }
        break;
    case ViewStyle::plain: {
        if (progress.phase == Phase::erase && !announcedShown) {
            announcedShown = true;
            log("erase: the device announces " + oneDecimal(double(progress.total) / 1000.0) + " s");
        }
        const int step = percent / logStepPercent * logStepPercent;
        if (step > 0 && step > percentShown) {
            percentShown = step;
            log(progressLine(progress, percent));
        }
        break;
    }
    case ViewStyle::terminal:
        break;
    }
}

void DeviceLog::showWindow(bool counting, Clock::time_point at) {
    if (style == ViewStyle::json) {
        for (const std::string& text : shown->statuses) {
            // A text that only counts on goes out at most so often; every other one at once.
            if (!counting || !countingShown || at - statusAt >= statusEvery) {
                countingShown = counting;
                statusAt = at;
                out.event(statusEvent(port, model.phase(), text, slot));
            }
        }
        // The result line says the same for people, with what the device holds; the success box
        // would ask to click a button nobody sees.
        for (const Message& box : shown->boxes) {
            if (box.icon == MessageIcon::error) {
                out.event(messageEvent(port, box, slot));
            }
        }
    }
    shown->statuses.clear();
    shown->boxes.clear();
}

void DeviceLog::log(const std::string& text) const {
    out.say(label + ": " + text);
}

} // namespace vtc880

#include "cli/ProgressView.h"

#include "cli/Figures.h"
#include "cli/JsonEvents.h"
#include "control/Format.h"

#include <cmath>
#include <unistd.h>

namespace {

using Seconds = std::chrono::duration<double>;

constexpr auto redrawEvery = std::chrono::milliseconds(100);
// Status texts that only count on ("Copying 3ko / 50ko  (6%)"): at most one event in this time.
constexpr auto statusEvery = std::chrono::milliseconds(250);
constexpr int logStepPercent = 25; // a plain log says how far a phase got at every quarter

// A status text without its figures: "Copying 3ko / 50ko  (6%)" and "Copying 4ko / 50ko  (8%)" have
// the same shape.
std::string shapeOf(const std::string& text) {
    std::string shape;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            shape += c;
        }
    }
    return shape;
}

// "0:07", "1:56", "1:03:20": the time left, in few columns.
std::string clockText(double seconds) {
    const auto whole = static_cast<long long>(std::ceil(std::clamp(seconds, 0.0, 1e8)));
    const long long hours = whole / 3600;
    const long long minutes = whole / 60 % 60;
    if (hours > 0) {
        return formatText("%lld:%02lld:%02lld", hours, minutes, whole % 60);
    }
    return formatText("%lld:%02lld", minutes, whole % 60);
}

std::string doneOfTotal(const PhaseProgress& measure) {
    if (measure.phase == Phase::erase) {
        return oneDecimal(double(measure.done) / 1000.0) + " s / " +
               oneDecimal(double(measure.total) / 1000.0) + " s";
    }
    return bytesText(double(measure.done)) + " / " + bytesText(double(measure.total));
}

} // namespace

ProgressView::Style ProgressView::styleFor(const Output& out) {
    if (out.json()) {
        return Style::json;
    }
    return isatty(STDOUT_FILENO) ? Style::terminal : Style::plain;
}

ProgressView::ProgressView(const Output& out, std::vector<ViewedDevice> viewed, Style style)
    : out(out), style(style) {
    for (ViewedDevice& device : viewed) {
        devices.emplace_back(std::move(device.port), device.plan);
    }
    if (style == Style::terminal) {
        terminal = std::make_unique<TerminalWidth>();
    }
}

void ProgressView::apply(const DeviceEvent& event) {
    if (event.device < 0 || std::size_t(event.device) >= devices.size()) {
        return;
    }
    Device& device = devices[std::size_t(event.device)];
    switch (event.kind) {
    case DeviceEvent::Kind::phase:
        if (event.value >= 0 && event.value < std::int64_t(phaseCount)) {
            onPhase(device, Phase(event.value), event.at);
        }
        break;
    case DeviceEvent::Kind::phaseProgress:
        onProgress(device, event.progress, event.at);
        break;
    case DeviceEvent::Kind::status:
        onStatus(device, event.text, event.at);
        break;
    case DeviceEvent::Kind::message:
        onMessage(device, event.message);
        break;
    default:
        break;
    }
}

std::string ProgressView::coverage(const Device& device, Phase phase) const {
    const RunPlan& plan = device.progress.plan();
    const std::string blocks =
        " bytes in " + std::to_string(plan.blocks) + (plan.blocks == 1 ? " block" : " blocks");
    switch (phase) {
    case Phase::speedSwitch:
        return ": from " + std::to_string(plan.initialSpeed) + " to " + std::to_string(plan.lineSpeed) +
               " bit/s";
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

void ProgressView::onPhase(Device& device, Phase phase, Clock::time_point at) {
    device.progress.enter(phase, at);
    device.percentShown = -1;
    device.blockShown = -1;
    switch (style) {
    case Style::json:
        out.event(phaseEvent(device.port, phase));
        break;
    case Style::plain:
        log(device, phaseName(phase) + coverage(device, phase));
        break;
    case Style::terminal:
        draw(true);
        break;
    }
}

void ProgressView::onProgress(Device& device, const PhaseProgress& progress, Clock::time_point at) {
    if (device.progress.phase() != progress.phase) {
        onPhase(device, progress.phase, at);
    }
    device.progress.advance(progress, at);
    const int percent = device.progress.percent();
    switch (style) {
    case Style::json:
        if (percent != device.percentShown || progress.block != device.blockShown) {
            device.percentShown = percent;
            device.blockShown = progress.block;
            out.event(progressEvent(device.port, device.progress, at));
        }
        break;
    case Style::plain: {
        if (progress.phase == Phase::erase && !device.announcedShown) {
            device.announcedShown = true;
            log(device, "erase: the device announces " + oneDecimal(double(progress.total) / 1000.0) + " s");
        }
        const int step = percent / logStepPercent * logStepPercent;
        if (step > 0 && step > device.percentShown) {
            device.percentShown = step;
            std::string line =
                std::string(phaseName(progress.phase)) + ": " + std::to_string(percent) + "% (" +
                (progress.phase == Phase::erase ? oneDecimal(double(progress.done) / 1000.0) + " of " +
                                                      oneDecimal(double(progress.total) / 1000.0) + " s"
                                                : groupedThousands(progress.done) + " of " +
                                                      groupedThousands(progress.total) + " bytes");
            if (progress.block >= 0) {
                line += ", block " + std::to_string(progress.block + 1) + " of " +
                        std::to_string(progress.blocks);
            }
            log(device, line + ")");
        }
        break;
    }
    case Style::terminal:
        draw(false);
        break;
    }
}

void ProgressView::onStatus(Device& device, const std::string& text, Clock::time_point at) {
    if (style != Style::json) {
        return; // people read the phases; the window's texts are for the window
    }
    const std::string shape = shapeOf(text);
    if (shape != device.statusShape || at - device.statusAt >= statusEvery) {
        device.statusShape = shape;
        device.statusAt = at;
        out.event(statusEvent(device.port, device.progress.phase(), text));
    }
}

void ProgressView::onMessage(Device& device, const Message& message) {
    // The result line says the same for people, with what the device holds; the success box would
    // ask to click a button nobody sees.
    if (style == Style::json && message.icon == MessageIcon::error) {
        out.event(messageEvent(device.port, message));
    }
}

void ProgressView::log(const Device& device, const std::string& text) const {
    out.say(device.port + ": " + text);
}

std::vector<LineField> ProgressView::lineFields(const std::string& port, const DeviceProgress& progress,
                                                Clock::time_point now) {
    using Kind = LineField::Kind;
    std::vector<LineField> fields;
    fields.push_back({Kind::keepEnd, port, 6, 8});
    const std::optional<Phase> phase = progress.phase();
    fields.push_back({Kind::text, phase ? phaseName(*phase) : "starting", 7});
    if (progress.measured()) {
        const PhaseProgress& measure = progress.measure();
        fields.push_back({Kind::text, formatText("%3d%%", progress.percent()), 5});
        fields.push_back({Kind::bar, {}, 3, 12, 32, progress.percent() / 100.0});
        fields.push_back({Kind::text, doneOfTotal(measure), 1});
        if (measure.block >= 0 && measure.blocks > 1) {
            fields.push_back(
                {Kind::text,
                 "block " + std::to_string(measure.block + 1) + "/" + std::to_string(measure.blocks), 0});
        }
    }
    if (const std::optional<double> rate = progress.bytesPerSecond()) {
        fields.push_back({Kind::text, rateText(*rate), 2});
    }
    if (const std::optional<double> left = progress.secondsLeft(now)) {
        fields.push_back({Kind::text, clockText(*left) + " left", 4});
    }
    return fields;
}

void ProgressView::draw(bool force) {
    const auto now = Clock::now();
    if (style != Style::terminal || (!force && drawnLines > 0 && now - lastDraw < redrawEvery)) {
        return;
    }
    lastDraw = now;
    const bool resized = terminal->changed() || resizeSeen;
    resizeSeen = false;
    // One column short of the width: a line that fills the last column leaves some terminals waiting
    // to wrap, and the next line would start one row too low.
    const std::size_t width = std::max<std::size_t>(terminal->columns(), 2) - 1;
    std::string frame;
    if (drawnLines > 0) {
        frame += "\033[" + std::to_string(drawnLines) + "A\r";
        if (resized) {
            frame += "\033[J";
        }
    }
    for (const Device& device : devices) {
        const std::string line = device.brief.empty()
                                     ? fitLine(lineFields(device.port, device.progress, now), width)
                                     : fitLine({{LineField::Kind::keepEnd, device.port, 6, 8},
                                                {LineField::Kind::keepHead, device.brief, 7, 12}},
                                               width);
        frame += "\r\033[K" + line + "\n";
    }
    out.draw(frame);
    drawnLines = devices.size();
}

void ProgressView::clearLive() {
    if (drawnLines > 0) {
        out.draw("\033[" + std::to_string(drawnLines) + "A\r\033[J");
        drawnLines = 0;
    }
}

void ProgressView::ended(int index, const std::string& brief) {
    if (index < 0 || std::size_t(index) >= devices.size()) {
        return;
    }
    devices[std::size_t(index)].brief = brief;
    draw(true);
}

void ProgressView::problem(const std::string& line) {
    const bool live = drawnLines > 0;
    clearLive();
    out.problem(line);
    if (live) {
        draw(true);
    }
}

void ProgressView::tick() {
    if (style == Style::terminal && drawnLines > 0) {
        resizeSeen = terminal->changed();
        draw(resizeSeen);
    }
}

void ProgressView::finish(const std::vector<std::string>& lines) {
    clearLive();
    for (const std::string& line : lines) {
        out.say(line);
    }
}

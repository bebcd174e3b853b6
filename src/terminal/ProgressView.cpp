#include "terminal/ProgressView.h"

#include "vtc880/Figures.h"
#include "vtc880/Format.h"

namespace vtc880 {

namespace {

std::string doneOfTotal(const PhaseProgress& measure) {
    if (measure.phase == Phase::erase) {
        return oneDecimal(double(measure.done) / 1000.0) + " s / " +
               oneDecimal(double(measure.total) / 1000.0) + " s";
    }
    return bytesText(double(measure.done)) + " / " + bytesText(double(measure.total));
}

} // namespace

ProgressView::Style ProgressView::styleFor(const Output& out) {
    return viewStyleFor(out);
}

ProgressView::ProgressView(const Output& out, std::vector<ViewedDevice> viewed, Style style)
    : out(out), style(style) {
    for (ViewedDevice& device : viewed) {
        devices.emplace_back(out, style, device.port, device.plan);
    }
    if (style == Style::terminal) {
        live = std::make_unique<LiveLines>(out);
    }
}

void ProgressView::apply(const DeviceEvent& event) {
    if (event.device < 0 || std::size_t(event.device) >= devices.size()) {
        return;
    }
    switch (devices[std::size_t(event.device)].log.apply(event)) {
    case DeviceLog::Change::phase:
        draw(true);
        break;
    case DeviceLog::Change::progress:
        draw(false);
        break;
    case DeviceLog::Change::none:
        break;
    }
}

std::vector<LineField> ProgressView::lineFields(const std::string& port, const DeviceProgress& progress,
                                                Clock::time_point now) {
    using Kind = LineField::Kind;
    std::vector<LineField> fields;
    fields.push_back({Kind::keepEnd, port, 6, 8});
    const std::optional<Phase> phase = progress.phase();
    fields.push_back({Kind::text, phase ? phaseText(*phase) : "starting", 7});
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
    if (!live || !live->due(force)) {
        return;
    }
    const auto now = Clock::now();
    const std::size_t width = live->width();
    std::vector<std::string> lines;
    for (const Device& device : devices) {
        lines.push_back(device.brief.empty()
                            ? fitLine(lineFields(device.port, device.log.progress(), now), width)
                            : fitLine({{LineField::Kind::keepEnd, device.port, 6, 8},
                                       {LineField::Kind::keepHead, device.brief, 7, 12}},
                                      width));
    }
    live->draw(lines);
}

void ProgressView::ended(int index, const std::string& brief) {
    if (index < 0 || std::size_t(index) >= devices.size()) {
        return;
    }
    devices[std::size_t(index)].brief = brief;
    draw(true);
}

void ProgressView::problem(const std::string& line) {
    const bool shown = live && live->shown();
    if (live) {
        live->clear();
    }
    out.problem(line);
    if (shown) {
        draw(true);
    }
}

void ProgressView::tick() {
    if (live && live->shown()) {
        draw(live->resized());
    }
}

void ProgressView::finish(const std::vector<std::string>& lines) {
    if (live) {
        live->clear();
    }
    for (const std::string& line : lines) {
        out.say(line);
    }
}

} // namespace vtc880

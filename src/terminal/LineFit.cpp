#include "terminal/LineFit.h"

#include "vtc880/Utf8.h"

#include <algorithm>
#include <cmath>

namespace vtc880 {

namespace {

using Kind = LineField::Kind;

std::size_t narrowest(const LineField& field) {
    switch (field.kind) {
    case Kind::text:
        return columns(field.text);
    case Kind::keepEnd:
    case Kind::keepHead:
        return std::min(columns(field.text), field.least);
    case Kind::bar:
        return std::max<std::size_t>(field.least, 3);
    }
    return 0;
}

std::size_t widest(const LineField& field) {
    return field.kind == Kind::bar ? std::max(field.most, narrowest(field)) : columns(field.text);
}

// Cut between characters: a wide character that would not fit whole leaves its column blank.
std::string cut(const LineField& field, std::size_t width) {
    const std::string text = printable(field.text);
    if (columns(text) <= width) {
        return text;
    }
    const std::string dots = width > 3 ? "..." : "";
    if (field.kind == Kind::keepHead) {
        return padColumns(headColumns(text, width - dots.size()) + dots, width);
    }
    const std::string tail = dots + tailColumns(text, width - dots.size());
    return std::string(width - columns(tail), ' ') + tail;
}

std::string bar(double fraction, std::size_t width) {
    const std::size_t inside = width - 2;
    const double full = std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
    const auto filled = static_cast<std::size_t>(full * double(inside));
    std::string drawn;
    drawn.reserve(width);
    drawn += '[';
    drawn.append(filled, '#');
    drawn.append(inside - filled, '.');
    drawn += ']';
    return drawn;
}

} // namespace

std::string fitLine(const std::vector<LineField>& fields, std::size_t width) {
    std::vector<const LineField*> shown;
    for (const LineField& field : fields) {
        if (field.kind == Kind::bar || !field.text.empty()) {
            shown.push_back(&field);
        }
    }
    const auto needed = [&] {
        std::size_t total = shown.empty() ? 0 : shown.size() - 1;
        for (const LineField* field : shown) {
            total += narrowest(*field);
        }
        return total;
    };
    while (shown.size() > 1 && needed() > width) {
        // The least kept goes first; of equals, the one further right.
        auto drop = shown.begin();
        for (auto it = shown.begin(); it != shown.end(); ++it) {
            if ((*it)->keep <= (*drop)->keep) {
                drop = it;
            }
        }
        shown.erase(drop);
    }
    if (shown.empty()) {
        return {};
    }
    if (shown.size() == 1 && narrowest(*shown[0]) > width) {
        LineField alone = *shown[0];
        if (alone.kind == Kind::bar) {
            return width >= 3 ? bar(alone.fraction, width) : std::string();
        }
        alone.kind = alone.kind == Kind::keepEnd ? Kind::keepEnd : Kind::keepHead;
        return cut(alone, width);
    }

    std::vector<std::size_t> widths;
    for (const LineField* field : shown) {
        widths.push_back(narrowest(*field));
    }
    std::size_t spare = width - needed();
    for (const Kind kind : {Kind::keepEnd, Kind::keepHead, Kind::bar}) {
        for (std::size_t i = 0; i < shown.size() && spare > 0; ++i) {
            if (shown[i]->kind == kind) {
                const std::size_t more = std::min(spare, widest(*shown[i]) - widths[i]);
                widths[i] += more;
                spare -= more;
            }
        }
    }

    std::string line;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (i > 0) {
            line += ' ';
        }
        line += shown[i]->kind == Kind::bar ? bar(shown[i]->fraction, widths[i]) : cut(*shown[i], widths[i]);
    }
    return line;
}

} // namespace vtc880

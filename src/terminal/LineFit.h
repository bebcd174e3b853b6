#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace vtc880 {

// One field of a status line that is redrawn in place. Such a line must never wrap: the terminal
// would keep the part that wrapped as a stale line under every redraw.
struct LineField {
    enum class Kind {
        text,     // shown whole or not at all
        keepEnd,  // may be cut from the front ("...ttyUSB0") down to `least` columns
        keepHead, // may be cut at the end ("FAILED (pro...") down to `least` columns
        bar,      // "[####....]" from `fraction`, between `least` and `most` columns
    };
    Kind kind = Kind::text;
    std::string text;
    int keep = 0; // fields with the lowest value are dropped first
    std::size_t least = 0;
    std::size_t most = 0;
    double fraction = 0;
};

// The fields in their order, one blank between them, in at most `width` columns: fields are dropped,
// lowest `keep` first, until the rest fit at their narrowest; the columns left over go to the fields
// that may be cut (up to their whole text) and then to the bars (up to their widest). Widths are
// terminal columns (a wide character takes two), and a cut falls between characters. Text is shown
// printable(): control characters as '?', bytes that are not UTF-8 as U+FFFD. The result never
// takes more than `width` columns.
std::string fitLine(const std::vector<LineField>& fields, std::size_t width);

} // namespace vtc880

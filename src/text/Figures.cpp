#include "vtc880/Figures.h"

#include "vtc880/Format.h"

#include <algorithm>
#include <cmath>

namespace vtc880 {

std::string bytesText(double bytes) {
    bytes = std::max(bytes, 0.0);
    if (bytes >= 1024.0 * 1024.0) {
        return oneDecimal(bytes / (1024.0 * 1024.0)) + " MiB";
    }
    if (bytes >= 1024.0) {
        return oneDecimal(bytes / 1024.0) + " KiB";
    }
    return std::to_string(static_cast<long long>(bytes)) + " B";
}

std::string durationText(double seconds) {
    if (!(seconds > 0)) { // also NaN
        seconds = 0;
    }
    if (seconds < 10) {
        return oneDecimal(seconds) + " s";
    }
    const auto whole = static_cast<long long>(std::llround(std::min(seconds, 1e9)));
    if (whole < 60) {
        return std::to_string(whole) + " s";
    }
    if (whole < 3600) {
        return std::to_string(whole / 60) + " min " + std::to_string(whole % 60) + " s";
    }
    return std::to_string(whole / 3600) + " h " + std::to_string(whole % 3600 / 60) + " min";
}

std::string rateText(double bytesPerSecond) {
    return bytesText(bytesPerSecond) + "/s";
}

std::string clockText(double seconds) {
    if (!(seconds > 0)) { // also NaN
        seconds = 0;
    }
    const auto whole = static_cast<long long>(std::ceil(std::min(seconds, 1e8)));
    const long long hours = whole / 3600;
    const long long minutes = whole / 60 % 60;
    if (hours > 0) {
        return formatText("%lld:%02lld:%02lld", hours, minutes, whole % 60);
    }
    return formatText("%lld:%02lld", minutes, whole % 60);
}

} // namespace vtc880

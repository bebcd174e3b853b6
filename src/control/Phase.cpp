#include "vtc880/Phase.h"

namespace vtc880 {

namespace {

struct PhaseRow {
    const char* name;
    const char* text;
};

// In the order of the enum.
constexpr PhaseRow phases[phaseCount] = {
    {"speed_switch", "speed switch"}, {"update_mode", "update mode"}, {"erase", "erase"},
    {"programming", "programming"},   {"verify", "verify"},           {"finish", "finish"},
};

} // namespace

const char* phaseName(Phase phase) {
    return phases[std::size_t(phase)].name;
}

const char* phaseText(Phase phase) {
    return phases[std::size_t(phase)].text;
}

} // namespace vtc880

#pragma once

#include <array>
#include <chrono>
#include <cstddef>

namespace vtc880 {

// The stages of a run in the order they happen.
enum class Phase { speedSwitch, updateMode, erase, programming, verify, finish };
constexpr std::size_t phaseCount = 6;

// The phase's name in the JSON events, the records and the Python module ("speed_switch"), and its
// words for people ("speed switch").
const char* phaseName(Phase phase);
const char* phaseText(Phase phase);

// Time spent in each phase of a run; zero for a phase it never entered.
using PhaseTimes = std::array<std::chrono::steady_clock::duration, phaseCount>;

} // namespace vtc880

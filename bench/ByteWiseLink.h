#pragma once

#include "BenchImage.h"
#include "PhaseObserver.h"

#include <cstdint>
#include <string>

// The kind of sender the updater's frame writes replace, for comparison: the updater's own steps on
// this thread (connect, erase, programming, Finish), but every frame written one byte per write
// call, and a 1 ms pause after every poll, a reply or not. Being an alternative to the library's own
// link, it is the one part of the benchmarks that builds on the library's inner headers.
bool runByteWise(const std::string& port, std::int32_t baud, const BenchImage& image,
                 PhaseObserver& observer);

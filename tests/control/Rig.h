#pragma once

#include "FakeClock.h"
#include "FakeLink.h"
#include "RecordingSinks.h"
#include "control/Session.h"
#include "vtc880/FileCopy.h"

#include <atomic>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

using namespace vtc880;

// A worker's surroundings with nothing real in them: a scripted link and device, recording sinks and a
// clock whose pauses cost nothing.
struct Rig {
    FakeClock clock;
    FakeLink link{clock};
    FakeDevice device;
    RecordingSinks sinks;
    std::atomic<bool> cancel{false};
    Session session{link, sinks, clock, cancel};

    Rig() { device.attach(link); }
};

struct BlockLayout {
    std::uint32_t size;
    std::uint32_t address;
};

// Blocks filled with a pattern that differs from block to block and from byte to byte.
FileCopy makeImage(std::initializer_list<BlockLayout> blocks);

// The calls recorded after the first one equal to `call` (exclusive).
std::vector<std::string> callsAfter(const RecordingSinks& sinks, const std::string& call);

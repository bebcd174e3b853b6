#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace vtc880 {

// What a frame on the line says, decoded once for a trace.
struct TracedFrame {
    bool sent = false;         // towards the device (a command) or from it (a reply)
    std::uint16_t code = 0;    // the command code, or the reply's command byte
    std::uint32_t length = 0;  // the data length the frame gives
    bool valid = true;         // its end byte and checksum were right (always, for frames sent)
    bool chunk = false;        // a ProgramChunk or VerifyChunk: address and count follow
    std::uint32_t address = 0; // word address of the chunk
    std::uint32_t count = 0;   // bytes in the chunk
};

// One thing that happened on the line: bytes that went out or came in, at the port's speed then,
// and the frame they completed, if any.
struct TraceEvent {
    std::chrono::steady_clock::duration time{}; // on the run's clock
    std::int32_t speed = 0;                     // the port's speed
    bool sent = false;
    const std::uint8_t* bytes = nullptr;
    std::size_t size = 0;
    const TracedFrame* frame = nullptr; // the frame these bytes completed (or, sent, make up)
};

// A diagnostics hook: the core calls it, front ends write it down. Called on the thread that uses the
// port; it must not call back into the link.
using TraceHook = std::function<void(const TraceEvent&)>;

} // namespace vtc880

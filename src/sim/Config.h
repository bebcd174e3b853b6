#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sim {

// How the simulated device behaves, and which faults it injects.
struct Config {
    std::int32_t eraseTimeMs = 100;    // announced in the Ack to EraseTimeQuery (may be 0, negative or huge)
    std::int32_t eraseActualMs = -1;   // how long the erase really takes; -1 = as announced
    bool lineModel = false;            // each byte costs 10 bits at the current line speed, both directions
    std::int32_t initialSpeed = 19200; // the device's speed before any speed command
    bool keepTranscript = true;        // false: what arrives is counted but not kept (nobody reads it)
    // Faults, each on request:
    bool silent = false;                   // answers nothing at all
    std::optional<std::uint16_t> silentOn; // answers nothing to this command code
    std::optional<std::uint16_t>
        wrongCommandOn; // answers this code with a valid frame of another command byte
    std::optional<std::uint16_t> badChecksumOn; // answers this code with a wrong checksum
    bool noiseBetweenFrames = false;            // sends junk bytes (no '*') before each reply
    int splitReplyPauseMs = 0;      // >0: each reply goes out in two parts with this pause between
    bool errorOnErase = false;      // ErrorReply to EraseAll
    int errorOnChunk = -1;          // ErrorReply to ProgramChunk number k (0-based, over the whole run)
    int corruptChunk = -1;          // ProgramChunk number k is acknowledged but stored with one bit flipped
    int hangUpAfterChunks = -1;     // after k acknowledged chunks, hang up the line (as an unplugged adapter)
    bool shortEraseTimeAck = false; // Ack to EraseTimeQuery with fewer than four data bytes
    int replyDelayMs = 0;           // delay before every reply
    std::string linkPath; // also publish a symlink to the port here (replaced if it exists; removed on stop)
};

} // namespace sim

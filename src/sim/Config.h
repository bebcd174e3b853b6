#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace sim {

// Boards coming and going on one socket, as a production line has them: each appearance is a new
// device on a new pseudo-terminal, published at the config's linkPath (the socket's name).
struct Appearances {
    std::chrono::milliseconds plugEvery{0};   // >0: a new board this often (the one before is unplugged)
    bool unplugAfterFinish = false;           // a board is unplugged once it received Finish
    std::chrono::milliseconds unplugAfter{0}; // >0: a board is unplugged this long after it appeared
    int boards = 0;                           // how many boards in all; 0: no end
    int faultsEvery = 1;                      // the faults apply to boards K, 2K, 3K ... only

    bool requested() const {
        return plugEvery.count() > 0 || unplugAfterFinish || unplugAfter.count() > 0 || boards > 0;
    }
};

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
    Appearances line;     // several boards one after another (a ProductionLine)
};

// Whether any fault is asked for, and the same behaviour without any: a sound board.
bool hasFaults(const Config& config);
Config withoutFaults(const Config& config);

} // namespace sim

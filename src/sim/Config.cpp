#include "sim/Config.h"

namespace sim {

// The faults of Config, in one place: a new fault is added here too.
bool hasFaults(const Config& config) {
    return config.silent || config.silentOn || config.wrongCommandOn || config.badChecksumOn ||
           config.noiseBetweenFrames || config.splitReplyPauseMs > 0 || config.errorOnErase ||
           config.errorOnChunk >= 0 || config.corruptChunk >= 0 || config.hangUpAfterChunks >= 0 ||
           config.shortEraseTimeAck || config.replyDelayMs > 0;
}

Config withoutFaults(const Config& config) {
    Config sound = config;
    const Config none;
    sound.silent = none.silent;
    sound.silentOn = none.silentOn;
    sound.wrongCommandOn = none.wrongCommandOn;
    sound.badChecksumOn = none.badChecksumOn;
    sound.noiseBetweenFrames = none.noiseBetweenFrames;
    sound.splitReplyPauseMs = none.splitReplyPauseMs;
    sound.errorOnErase = none.errorOnErase;
    sound.errorOnChunk = none.errorOnChunk;
    sound.corruptChunk = none.corruptChunk;
    sound.hangUpAfterChunks = none.hangUpAfterChunks;
    sound.shortEraseTimeAck = none.shortEraseTimeAck;
    sound.replyDelayMs = none.replyDelayMs;
    return sound;
}

} // namespace sim

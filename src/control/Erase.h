#pragma once

#include "control/Session.h"

#include <cstdint>

namespace vtc880 {

enum class EraseResult {
    erased,
    handshakeFailed, // "Communication time out !"
    noEraseTime,     // no valid Ack with an erase time: "Communication time out !"
    eraseFailed,     // ErrorReply or no reply in time: "Erasing failed !"
};

// Asks the device how long the erase takes, erases, and shows progress by elapsed time until the
// device answers. The outcome shows in the status box; the link stays open.
EraseResult eraseDevice(Session& session);

// The announced erase time as the wait uses it: a negative time counts as 0, and none is longer than
// Limits::eraseCeilingMs; an erase that takes longer fails.
std::int32_t usableEraseTime(std::int32_t announcedMs);

} // namespace vtc880

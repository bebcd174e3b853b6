#pragma once

#include "control/Session.h"

#include <atomic>

namespace vtc880 {

// Puts the device into its firmware-update mode and confirms it with the handshake loop. On success
// sets `connected` (it is never cleared here) and reports "VTC880 Connected"; on failure shows the
// connection error. The link stays open either way. True when this run connected.
bool connectDevice(Session& session, std::atomic<bool>& connected);

} // namespace vtc880

#pragma once

#include "control/Session.h"

namespace vtc880 {

// The handshake loop: Handshake frames until the device answers with an Ack. The device has nine
// polls, counted over all re-sends, to complete the Ack; a valid frame of another command makes the
// loop send the Handshake again; silence never does. The caller purges the link before.
bool handshake(Session& session);

} // namespace vtc880

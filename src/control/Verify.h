#pragma once

#include "control/Session.h"
#include "vtc880/FileCopy.h"

namespace vtc880 {

enum class VerifyResult {
    passed,          // every block compared equal ("Verification passed")
    differs,         // a block differed or went unanswered ("Verification failed")
    handshakeFailed, // "Communication time out !"
};

// Handshake, then every block again in VerifyChunk frames; the device answers ErrorReply where its
// memory differs. Stops at the first failed block; otherwise compares the whole image. No message box.
VerifyResult verifyImage(Session& session, const FileCopy& image);

} // namespace vtc880

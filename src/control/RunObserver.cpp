#include "vtc880/Format.h"
#include "vtc880/RunObserver.h"

namespace vtc880 {

std::string runLogText(const RunLog& log) {
    switch (log.step) {
    case RunStep::starting:
    case RunStep::connecting:
        return "Connecting to VTC880 ...";
    case RunStep::connected:
        return "VTC880 Connected";
    case RunStep::disconnected:
        return "VTC880 Disconnected !";
    case RunStep::handshaking:
        return "Connection to VTC880 ...";
    case RunStep::timedOut:
        return "Communication time out !";
    case RunStep::askingEraseTime:
        return "Calculating erase time ...";
    case RunStep::erasing:
        return "Erasing (" + oneDecimal(log.eraseMs / 1000.0) + " seconds) ...";
    case RunStep::erased:
        return "Firmware erased";
    case RunStep::eraseFailed:
        return "Erasing failed !";
    case RunStep::blockProgrammed:
        return "Firmware updated";
    case RunStep::programmingFailed:
        return "Firmware update failed !";
    case RunStep::blockVerified:
        return "Verification passed";
    case RunStep::verifyFailed:
        return "Verification failed";
    }
    return {};
}

} // namespace vtc880

#include "control/Connect.h"

#include "control/Handshake.h"
#include "vtc880/DeviceCodes.h"

namespace vtc880 {

bool connectDevice(Session& s, std::atomic<bool>& connected) {
    s.enter(Phase::updateMode);
    s.log(RunStep::connecting);
    if (s.cancelled()) {
        return false; // stopped before anything reached the device
    }
    s.link.purge();
    s.link.sendDownload();
    s.progress.preambleSent();
    s.pause(Preamble::settleMs);
    // Whatever the device said while it switched modes is not a reply to us.
    s.link.purge();
    if (handshake(s)) {
        connected = true;
        s.log(RunStep::connected);
        s.leave(Phase::updateMode);
        return true;
    }
    s.problem(RunProblem::Kind::connectionError, Phase::updateMode);
    s.log(RunStep::disconnected);
    s.leave(Phase::updateMode);
    return false;
}

} // namespace vtc880

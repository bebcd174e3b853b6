#include "control/Connect.h"

#include "control/Handshake.h"
#include "link/DeviceCodes.h"

namespace vtc880 {

bool connectDevice(Session& s, std::atomic<bool>& connected) {
    s.enter(Phase::updateMode);
    s.sinks.setStatusText("Connecting to VTC880 ...");
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
        s.sinks.setStatusText("VTC880 Connected");
        return true;
    }
    s.message("VTC880 Connection error !", "Error", MessageIcon::error);
    s.sinks.setStatusText("VTC880 Disconnected !");
    return false;
}

} // namespace vtc880

#include "control/Handshake.h"

#include "vtc880/DeviceCodes.h"

namespace vtc880 {

bool handshake(Session& s) {
    Link& link = s.link;
    int polls = 0;
    while (true) {
        link.commandReady = false;
        link.send(Code::Handshake, 0, nullptr);
        do {
            link.extract(pollWait(PollWait::reply));
            ++polls;
        } while (!link.commandReady && polls < Limits::handshakePolls && !s.over());
        if (!link.commandReady || polls >= Limits::handshakePolls) {
            return false;
        }
        if (link.command == Reply::Ack) {
            return true;
        }
        if (s.over()) {
            return false;
        }
    }
}

} // namespace vtc880

#include "control/Handshake.h"

#include "link/DeviceCodes.h"

bool handshake(Session& s) {
    Link& link = s.link;
    const ReplyPolls replyPolls(link);
    int polls = 0;
    while (true) {
        link.setCommandReady(false);
        link.send(Code::Handshake, 0, nullptr);
        do {
            link.extract();
            ++polls;
        } while (!link.commandReady() && polls < Limits::handshakePolls && !s.cancelled());
        if (!link.commandReady() || polls >= Limits::handshakePolls) {
            return false;
        }
        if (link.command() == Reply::Ack) {
            return true;
        }
        if (s.cancelled()) {
            return false;
        }
    }
}

#pragma once

#include "link/Protocole.h"

using namespace vtc880;

// The kind of sender the updater's frame writes replace, for comparison: the same frames, but one write
// call per byte, and a 1 ms pause after every poll, a reply or not.
class ByteWiseLink : public Protocole {
  public:
    using Protocole::Protocole;

    void send(std::uint16_t code, std::uint32_t size, const std::uint8_t* data) override;
    void extract(std::chrono::milliseconds wait = pollWait(PollWait::chunk)) override;
};

#pragma once

#include "control/Link.h"
#include "link/Clock.h"
#include "link/Protocole.h"

// The kind of sender the updater's frame writes replace, for comparison: the same frames, but one write
// call per byte, and a 1 ms pause after every poll, a reply or not.
class ByteWiseLink : public Link {
  public:
    ByteWiseLink(Protocole& protocole, Clock& clock) : p(protocole), clock(clock) {}

    void purge() override { p.purge(); }
    void send(std::uint16_t code, std::uint32_t size, const std::uint8_t* data) override;
    void extract() override;
    void setPollTimeout(std::uint32_t milliseconds) override { p.timeOut(milliseconds); }
    void sendDownload() override { p.sendDownload(); }
    bool commandReady() const override { return p.commandReady; }
    void setCommandReady(bool ready) override { p.commandReady = ready; }
    std::uint8_t command() const override { return p.command; }
    std::uint32_t dataSize() const override { return p.dataSize; }
    const std::uint8_t* data() const override { return p.data.get(); }
    std::uint32_t dataCapacity() const override;

  private:
    Protocole& p;
    Clock& clock;
};

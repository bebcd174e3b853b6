#pragma once

#include "control/Link.h"
#include "link/Protocole.h"

// The workers' view of a Protocole.
class ProtocoleLink : public Link {
  public:
    explicit ProtocoleLink(Protocole& protocole) : p(protocole) {}

    void purge() override;
    void send(std::uint16_t code, std::uint32_t size, const std::uint8_t* data) override;
    void extract() override;
    void setPollTimeout(std::uint32_t milliseconds) override;
    void sendDownload() override;
    bool commandReady() const override;
    void setCommandReady(bool ready) override;
    std::uint8_t command() const override;
    std::uint32_t dataSize() const override;
    const std::uint8_t* data() const override;
    std::uint32_t dataCapacity() const override;

  private:
    Protocole& p;
};

#pragma once

#include <cstdint>

// What the workers need of the device link: frames out, polls for a reply, and the reply parsed.
// Protocole provides it (ProtocoleLink); tests script it so that they decide what each poll brings.
class Link {
  public:
    virtual ~Link() = default;

    virtual void purge() = 0;
    virtual void send(std::uint16_t code, std::uint32_t size, const std::uint8_t* data) = 0;
    // One poll: reads until a frame completes or a read brings nothing within the read time-out; on
    // a line that never falls quiet, it ends after about two read time-outs all the same.
    virtual void extract() = 0;
    // How long one poll waits for a byte when nothing comes.
    virtual void setPollTimeout(std::uint32_t milliseconds) = 0;
    // "FIRMWAREUPDATE\r" then "$KQ-", paced.
    virtual void sendDownload() = 0;

    // Cleared by the caller before it waits; set once a complete frame with a correct checksum is in.
    virtual bool commandReady() const = 0;
    virtual void setCommandReady(bool ready) = 0;
    virtual std::uint8_t command() const = 0;   // command byte of the latest frame
    virtual std::uint32_t dataSize() const = 0; // data length of the latest frame
    // Data of the latest frame; only the first min(dataSize(), dataCapacity()) bytes are meaningful.
    virtual const std::uint8_t* data() const = 0;
    virtual std::uint32_t dataCapacity() const = 0;
};

#pragma once

#include "link/Link.h"
#include "link/RS232.h"
#include "vtc880/Clock.h"
#include "vtc880/Trace.h"

#include <cstdint>
#include <functional>

namespace vtc880 {

// The serial port plus the device's protocol: frames out, frames parsed in byte by byte, and the
// ASCII commands that come before the frames.
class Protocole : public RS232, public Link {
  public:
    Protocole(const std::string& portName, std::int32_t baudRate, Clock& clock = systemClock());
    ~Protocole() override;

    void purge() override;
    // The whole frame in one write.
    void send(std::uint16_t code, std::uint32_t size, const std::uint8_t* data) override;
    void extract(std::chrono::milliseconds wait = pollWait(PollWait::chunk)) override;
    // Feeds one received byte to the frame parser.
    void parse(std::uint8_t byte);
    // "FIRMWAREUPDATE\r" then "$KQ-", one character at a time with a pause after each.
    void sendDownload() override;
    // The speed command "%dBR%d\r", one character at a time with a pause after each.
    void changeBaudRate(int a, int b);
    bool lost() const override { return RS232::lost(); }

    // Asked between paced characters: once it says yes, the rest of an ASCII command is not sent.
    std::function<bool()> stopPacing;
    // Told every byte sent and received, and each frame decoded.
    TraceHook trace;

    std::uint8_t parserState() const { return state; }

  protected:
    Clock& clock;

  private:
    void paced(const char* text, int pauseMs);
    void traced(bool sent, const std::uint8_t* bytes, std::size_t size, const TracedFrame* frame);

    std::uint8_t state = 0; // 0 hunt, 1 command, 2 length, 3 data, 4 end, 5 checksum
    std::uint32_t i = 0;    // byte index within the current field
    std::uint8_t chk = 0;   // running checksum
};

} // namespace vtc880

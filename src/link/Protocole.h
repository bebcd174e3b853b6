#pragma once

#include "link/Clock.h"
#include "link/RS232.h"

#include <cstdint>
#include <memory>

// The serial port plus the device's protocol: frames out, frames parsed in byte by byte, and the
// ASCII commands that come before the frames.
class Protocole : public RS232 {
  public:
    Protocole(const std::string& portName, std::int32_t baudRate, Clock& clock = systemClock());
    ~Protocole() override;

    // One frame: '*', code (2 bytes), size (4 bytes), data, '+', checksum; written in one call.
    void send(std::uint16_t code, std::uint32_t size, const std::uint8_t* data);
    // Reads and parses bytes until a frame completes or a read brings nothing.
    void extract();
    // Feeds one received byte to the frame parser.
    void parse(std::uint8_t byte);
    // "FIRMWAREUPDATE\r" then "$KQ-", one character at a time with a pause after each.
    void sendDownload();
    // The speed command "%dBR%d\r", one character at a time with a pause after each.
    void changeBaudRate(int a, int b);

    bool commandReady = false; // a complete frame with a correct checksum was parsed
    std::uint8_t command = 0;  // command byte of the latest frame
    // Data length of the frame being parsed, then of the last one. A frame longer than
    // Frame::receiveCapacity is read to its end and refused (commandReady false); its length stays here
    // while `data` holds only its first Frame::receiveCapacity bytes: never read past the capacity.
    std::uint32_t dataSize = 0;
    std::unique_ptr<std::uint8_t[]> data; // Frame::receiveCapacity bytes

    std::uint8_t parserState() const { return state; }

  private:
    Clock& clock;
    std::uint8_t state = 0; // 0 hunt, 1 command, 2 length, 3 data, 4 end, 5 checksum
    std::uint32_t i = 0;    // byte index within the current field
    std::uint8_t chk = 0;   // running checksum
};

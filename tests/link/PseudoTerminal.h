#pragma once

#include "vtc880/UniqueFd.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <termios.h>
#include <vector>

using Bytes = std::vector<std::uint8_t>;

// A pseudo-terminal pair: the code under test opens portPath(), the test plays the device on the master.
// The line starts raw at 9600 baud, so nothing the test writes is echoed or changed by the tty layer.
class PseudoTerminal {
  public:
    PseudoTerminal();

    const std::string& portPath() const { return path; }
    int master() const { return fd.get(); }

    // The port side's line settings (on Linux the master reads and sets those of the pair).
    termios lineSettings() const;
    void setLineSettings(const termios& settings);

    void put(const Bytes& bytes); // as the device sending
    void put(const std::string& text);
    // What the port sent: up to `count` bytes, whatever arrived within `limit`.
    Bytes take(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(2));
    void hangUp() { fd.reset(); } // closes the master, as an unplugged adapter

  private:
    vtc880::UniqueFd fd;
    std::string path;
};

// Descriptors this process holds, for leak checks.
std::size_t openDescriptorCount();

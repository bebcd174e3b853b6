#pragma once

#include "sim/PseudoTerminal.h"
#include "vtc880/UniqueFd.h"

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <thread>

// A device end that turns hostile: it answers every frame with Ack (erase time 0) until it receives
// the frame it turns at, and from then on sends random bytes as fast as the line takes them, never a
// reply again. It reads everything the updater sends throughout, so the updater's writes never stall.
class HostileDevice {
  public:
    // No code: hostile from the first byte.
    explicit HostileDevice(std::optional<std::uint16_t> turnAt = std::nullopt);
    ~HostileDevice();
    HostileDevice(const HostileDevice&) = delete;
    HostileDevice& operator=(const HostileDevice&) = delete;

    bool start(std::string& error);
    const std::string& portPath() const { return pty.slavePath(); }
    bool flooding() const { return turned.load(); }
    std::uint64_t bytesSent() const { return sent.load(); }

  private:
    void run();

    std::optional<std::uint16_t> turnAt;
    sim::PseudoTerminal pty;
    vtc880::UniqueFd stopRead, stopWrite;
    std::atomic<bool> turned{false};
    std::atomic<std::uint64_t> sent{0};
    std::thread thread;
};

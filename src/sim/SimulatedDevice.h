#pragma once

#include "sim/Config.h"
#include "sim/Received.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sim {

// A stand-in for the VTC880 on a pseudo-terminal: it answers on its own thread as the device does, keeps
// a transcript of what it received and a flash memory, and injects the faults its Config asks for.
// Every accessor may be called from any thread while the device runs.
class SimulatedDevice {
  public:
    explicit SimulatedDevice(Config config = {});
    ~SimulatedDevice(); // stops and cleans up
    SimulatedDevice(const SimulatedDevice&) = delete;
    SimulatedDevice& operator=(const SimulatedDevice&) = delete;

    bool start(); // opens the pseudo-terminal, starts answering on its own thread; once per object
    std::string startError() const;
    const std::string& portPath() const; // the slave path (/dev/pts/N): usable as a port name
    void stop();                         // idempotent; removes the published link

    std::vector<Received> transcript() const;
    std::vector<Received> transcriptFrom(std::size_t first) const; // entries first, first + 1, ...
    std::size_t transcriptSize() const;
    std::size_t transcriptDropped() const;         // entries not kept because the transcript was full
    std::vector<std::uint16_t> frameCodes() const; // codes of the valid frames received, in order

    // Byte address = 2 * word address. Bytes beyond the flash are left out.
    std::vector<std::uint8_t> memory(std::uint32_t wordAddress, std::uint32_t bytes) const;
    // Preload (e.g. to make a verify fail). Ignored beyond the flash or its page budget.
    void setMemory(std::uint32_t wordAddress, const std::vector<std::uint8_t>& bytes);

    bool inUpdateMode() const;
    std::int32_t speed() const;
    int chunksProgrammed() const;
    bool finished() const; // Finish was received
    bool hungUp() const;   // the hang-up fault has closed the line

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

} // namespace sim

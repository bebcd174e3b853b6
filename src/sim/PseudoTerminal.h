#pragma once

#include "vtc880/UniqueFd.h"

#include <cstdint>
#include <string>

namespace sim {

// A new pseudo-terminal pair: returns its master, open for reading and writing (blocking, closed on
// exec, never this process's controlling terminal), and puts the path of its slave, unlocked for anyone
// to open, in `slavePath`. On failure the descriptor is not valid and `error` says why. The simulated
// device and the tests' own ends of a line open their pairs here.
vtc880::UniqueFd openPseudoTerminal(std::string& slavePath, std::string& error);

// Raw mode at `speed` bit/s: bytes pass as they are (nothing echoed, translated or taken as a signal),
// the receiver on, modem lines ignored. On a pseudo-terminal the master and the slave set the same
// line. False when there is no such speed, or the terminal refuses (errno says why).
bool setRawLine(int fd, std::int32_t speed);

// A pseudo-terminal pair as the device's end of a serial line. The device reads and writes the master;
// the slave path is the port the updater opens. The device also holds the slave open itself: reading
// the master fails once no slave descriptor is open, and the updater opens and closes the port several
// times during one update. The held descriptor takes no lock and no exclusive mode.
class PseudoTerminal {
  public:
    // Opens the pair, the master non-blocking, and puts the slave in raw mode at the given speed. On
    // failure returns false and describes the cause in error.
    bool open(std::int32_t speed, std::string& error);
    void close(); // both ends: the updater's reads and writes then fail, as with an unplugged adapter

    int master() const { return master_.get(); }
    int slave() const { return slave_.get(); }
    const std::string& slavePath() const { return slavePath_; }

  private:
    vtc880::UniqueFd master_;
    vtc880::UniqueFd slave_;
    std::string slavePath_;
};

} // namespace sim

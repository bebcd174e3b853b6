#pragma once

#include "sim/Config.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace sim {

// One board that was plugged into the line's socket.
struct Board {
    int number = 0;      // from 1
    bool faulty = false; // the config's faults applied to it
    std::string port;    // its pseudo-terminal
    bool plugged = false;
    bool finished = false;             // it received Finish
    std::vector<std::uint16_t> frames; // the valid frames it received, in order
};

// Boards coming and going on one socket (Config::line): a board appears (its link at the config's
// linkPath, its device answering), is unplugged after Finish or after a time (the link goes and its
// pseudo-terminal closes), and the next one appears. The faults of the config apply per appearance.
// Runs on its own thread; every accessor may be called from any thread.
class ProductionLine {
  public:
    explicit ProductionLine(Config config);
    ~ProductionLine(); // stops
    ProductionLine(const ProductionLine&) = delete;
    ProductionLine& operator=(const ProductionLine&) = delete;

    // Told of each plug and unplug, on the line's thread. Set before start().
    std::function<void(const std::string&)> onEvent;

    bool start(); // false when the config asks for nothing a line can do (see error())
    std::string error() const;
    void stop();       // unplugs the board on the socket; idempotent
    bool done() const; // every board was plugged and unplugged, or a board could not be plugged
    std::vector<Board> boards() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl;
};

} // namespace sim

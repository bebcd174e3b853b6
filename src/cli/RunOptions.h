#pragma once

#include "vtc880/LinkTable.h"

#include <CLI/CLI.hpp>
#include <string>

namespace vtc880 {

// What the commands that update devices (update, verify, erase, station) ask alike.
struct RunOptions {
    std::string link;           // a name of the link table; the first link's by default
    bool verify = false;        // update: compare the whole image before Finish
    bool noSpeedSwitch = false; // the device is already at 115200
    std::string record;         // --record FILE, empty for none

    const LinkEntry& chosenLink() const;
};

// --link, --verify (for a command that programs), --no-speed-switch and --record, in the same words
// for every command; `devices` says what is attached ("the device is", "the devices are").
void addRunOptions(CLI::App& command, RunOptions& options, bool programs, const std::string& devices);

} // namespace vtc880

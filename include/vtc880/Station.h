#pragma once

#include "vtc880/Clock.h"
#include "vtc880/LinkTable.h"
#include "vtc880/PortInventory.h"
#include "vtc880/PortSelector.h"
#include "vtc880/StationReport.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace vtc880 {

struct StationSlot {
    std::string name;
    PortSelector selector;
};

struct StationSettings {
    std::string image;
    std::vector<StationSlot> slots;
    bool verify = false;
    LinkKind link = links.front().kind;
    bool speedSwitch = true;
    DeviceRoots roots;
    std::string record; // empty: no records
    // How long a port must be present before its update starts: udev sets a new port's permissions
    // and links in the moments after it appears. On the station's clock.
    std::chrono::milliseconds settle{1000};
};

// A production station: watches for ports of its slots to appear, and updates each arrival once, on a
// thread of its own, many at once. A port is taken again only after it disappeared and came back.
// The image is checked at the start and again whenever the file changes; while it cannot be used, no
// new device is taken. Every device's result is appended to the record file.
//
// Stop requests: the first stops taking devices and lets the running updates run to their end; the
// second stops every update at once.
class Station {
  public:
    Station(StationSettings settings, StationReport& report, Clock& clock = systemClock());
    ~Station();
    Station(const Station&) = delete;
    Station& operator=(const Station&) = delete;

    // Runs until stopped: `stopRequested` is asked between events and is true once per request.
    // Returns the exit status: 0 after a stop that let every update end, the interrupt status when
    // updates were cut short, the file status when the image or the record file is unusable at the
    // start or when any record could not be written by the end.
    int run(const std::function<bool()>& stopRequested);

  private:
    struct State;
    std::unique_ptr<State> state;
};

// Reads a --slot: "SELECTOR" (named by itself) or "NAME=SELECTOR". Empty `problem` on success.
StationSlot parseSlot(const std::string& text, std::string& problem);

// Reads a station's --slot options, in their order. Refuses, naming the slot and why in `problem`, a
// slot that does not read, two slots of one name, and a slot that could never take a port because
// an earlier one covers every port it would pick (bare port names are taken under `devFolder`).
std::vector<StationSlot> parseSlots(const std::vector<std::string>& texts, const std::string& devFolder,
                                    std::string& problem);

} // namespace vtc880

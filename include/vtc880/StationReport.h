#pragma once

#include "vtc880/DeviceEvents.h"
#include "vtc880/DeviceJob.h"
#include "vtc880/DeviceProgress.h"
#include "vtc880/DeviceRecord.h"
#include "vtc880/Outcome.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace vtc880 {

// One port of a slot, as a station shows it.
struct SlotPort {
    std::size_t slot = 0; // index into the station's slots
    std::string slotName;
    std::string port;   // the device the job opens
    std::string serial; // the USB adapter's serial number, when it has one
};

// How a station's run went, for its closing summary.
struct StationSummary {
    struct Counts {
        std::size_t done = 0;
        std::map<Outcome, std::size_t> failed; // by outcome
        std::size_t devices() const {
            std::size_t n = done;
            for (const auto& entry : failed) {
                n += entry.second;
            }
            return n;
        }
    };
    Counts all;
    std::vector<std::pair<std::string, Counts>> slots; // in the order they were given
    bool cutShort = false;                             // a second stop request ended running updates at once
    std::size_t recordsLost = 0;                       // records that could not be written before the end
    int exit = 0;                                      // the station's exit status
};

// Where a station tells what happens. Called from the station's own thread only.
class StationReport {
  public:
    virtual ~StationReport() = default;
    virtual void watching(const std::vector<std::string>& slots, const std::string& where, bool polling) = 0;
    // The image was read: usable (with its facts) or refused (with why).
    virtual void image(const ImageFacts* facts, const std::string& path, const std::string& problem) = 0;
    virtual void arrived(const SlotPort& port) = 0;
    virtual void left(const SlotPort& port) = 0;
    // An update begins on the port, doing what `plan` says; its job's sink calls follow as progress().
    virtual void started(const SlotPort& port, const RunPlan& plan) = 0;
    virtual void progress(const SlotPort& port, const DeviceEvent& event) = 0; // what its run reports
    virtual void finished(const SlotPort& port, const RunResult& result, const std::string& text,
                          double seconds) = 0;
    virtual void notice(const std::string& text) = 0; // for a person: a stop, a record not written
    virtual void summary(const StationSummary& summary) = 0;
    // Between events, at every turn of the station's loop: a view may redraw (a resized terminal, a
    // time left that counts down).
    virtual void tick() {}
};

} // namespace vtc880

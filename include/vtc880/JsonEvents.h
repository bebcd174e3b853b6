#pragma once

#include "vtc880/DeviceProgress.h"
#include "vtc880/Fields.h"
#include "vtc880/Json.h"
#include "vtc880/Phase.h"
#include "vtc880/RunResult.h"
#include "vtc880/Sinks.h"

#include <optional>
#include <string>

namespace vtc880 {

// The JSON events about devices, one builder per event type, for every command that reports devices
// (update, verify, erase, and a station): each event of a type has the same fields, in the same order,
// under the names of Fields.h. Every event names its device's `port`; in a station, the events of a
// device's run also name its `slot` (an empty `slot` is none).

// A device's run begins: what it will do, with which image.
Json startEvent(const std::string& port, const std::string& devicePath, const RunPlan& plan,
                const std::string& image, const std::string& imageVersion, const std::string& slot = {});
Json phaseEvent(const std::string& port, Phase phase, const std::string& slot = {});
// How far the phase under way has got, and how long the whole run still takes (when it can be told).
Json progressEvent(const std::string& port, const DeviceProgress& progress,
                   DeviceProgress::Clock::time_point now, const std::string& slot = {});
// The status line the window would show, word for word.
Json statusEvent(const std::string& port, std::optional<Phase> phase, const std::string& text,
                 const std::string& slot = {});
// A message box the window would show (errors only: the success box is the result).
Json messageEvent(const std::string& port, const Message& message, const std::string& slot = {});
// How the device's run ended, what the device holds, and the result's text; a station adds the USB
// adapter's serial number.
Json resultEvent(const std::string& port, const RunResult& result, const std::string& slot = {},
                 const std::optional<std::string>& usbSerial = std::nullopt);
// The last event of a command: how many devices, how many succeeded, and the exit status.
Json summaryEvent(std::size_t devices, std::size_t succeeded, int exitCode, bool interrupted);

// The time spent in each phase a run entered, by the phases' names.
Json phaseSecondsOf(const RunReport& report);

} // namespace vtc880

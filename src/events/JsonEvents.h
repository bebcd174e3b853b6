#pragma once

#include "control/Phase.h"
#include "events/Json.h"
#include "jobs/DeviceJob.h"
#include "jobs/DeviceProgress.h"
#include "widgets/Sinks.h"

#include <optional>
#include <string>

namespace vtc880 {

// The JSON events about devices, one builder per event type, for every command that reports devices
// (update, verify, erase, and a station): each event of a type has the same fields, in the same order,
// under the same names. The README's table "JSON events" lists every type and field; a test holds the
// two together. Every event names its device's `port`; in a station, the events of a device's run
// also name its `slot` (an empty `slot` is none).

const char* operationName(Operation operation); // "update", "verify", "erase"

// A device's run begins: what it will do, with which image.
JsonObject startEvent(const std::string& port, const std::string& devicePath, const RunPlan& plan,
                      const std::string& link, const std::string& image, const std::string& version);
JsonObject phaseEvent(const std::string& port, Phase phase, const std::string& slot = {});
// How far the phase under way has got, and how long the whole run still takes (when it can be told).
JsonObject progressEvent(const std::string& port, const DeviceProgress& progress,
                         DeviceProgress::Clock::time_point now, const std::string& slot = {});
// The status line the window would show, word for word.
JsonObject statusEvent(const std::string& port, std::optional<Phase> phase, const std::string& text,
                       const std::string& slot = {});
// A message box the window would show (errors only: the success box is the result).
JsonObject messageEvent(const std::string& port, const Message& message, const std::string& slot = {});
// How the device's run ended and what the device holds; `text` is the result line for people.
JsonObject resultEvent(const std::string& port, Operation operation, const RunResult& result, int exitCode,
                       const std::string& text, const std::string& slot = {});
// The last event of a command: how many devices, how many succeeded, and the exit status.
JsonObject summaryEvent(int devices, int succeeded, int exitCode, bool interrupted);

} // namespace vtc880

#pragma once

#include "vtc880/Json.h"
#include "vtc880/StationReport.h"

#include <string>
#include <vector>

namespace vtc880 {

// A station's own JSON events; the events of its updates are those of JsonEvents.h, with the slot.
Json imageEvent(const std::string& path, const ImageFacts* facts, const std::string& problem);
Json watchingEvent(const std::string& folder, bool polling, const std::vector<std::string>& slots);
Json arrivalEvent(const SlotPort& port);
Json departureEvent(const SlotPort& port);
Json noticeEvent(const std::string& text);
// The summary of update, verify and erase, with a station's counts by outcome and by slot.
Json stationSummaryEvent(const StationSummary& summary);

} // namespace vtc880

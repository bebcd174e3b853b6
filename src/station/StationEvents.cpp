#include "vtc880/StationEvents.h"

#include "vtc880/Fields.h"
#include "vtc880/JsonEvents.h"
#include "vtc880/Outcome.h"

namespace vtc880 {

namespace {

Json slotEvent(const char* type, const SlotPort& port) {
    Json event;
    event[field::event] = type;
    event[field::slot] = port.slotName;
    event[field::port] = port.port;
    return event;
}

Json outcomesOf(const StationSummary::Counts& counts) {
    Json outcomes = Json::object();
    if (counts.done > 0) {
        outcomes[outcomeName(Outcome::succeeded)] = counts.done;
    }
    for (const auto& [outcome, n] : counts.failed) {
        outcomes[outcomeName(outcome)] = n;
    }
    return outcomes;
}

} // namespace

Json imageEvent(const std::string& path, const ImageFacts* facts, const std::string& problem) {
    Json event;
    event[field::event] = event::image;
    event[field::image] = path;
    event[field::ok] = facts != nullptr;
    if (facts != nullptr) {
        event[field::imageFileBytes] = facts->bytes;
        event[field::imageSha256] = facts->sha256;
        event[field::imageVersion] = facts->version;
        event[field::imageBytes] = facts->dataBytes;
    } else {
        event[field::problem] = problem;
    }
    return event;
}

Json watchingEvent(const std::string& folder, bool polling, const std::vector<std::string>& slots) {
    Json event;
    event[field::event] = event::watching;
    event[field::folder] = folder;
    event[field::polling] = polling;
    event[field::slots] = slots;
    return event;
}

Json arrivalEvent(const SlotPort& port) {
    Json event = slotEvent(event::arrival, port);
    event[field::usbSerial] = port.serial;
    return event;
}

Json departureEvent(const SlotPort& port) {
    return slotEvent(event::departure, port);
}

Json noticeEvent(const std::string& text) {
    Json event;
    event[field::event] = event::notice;
    event[field::text] = text;
    return event;
}

Json stationSummaryEvent(const StationSummary& summary) {
    Json event = summaryEvent(summary.all.devices(), summary.all.done, summary.exit, summary.cutShort);
    event[field::outcomes] = outcomesOf(summary.all);
    Json& slots = event[field::slots] = Json::object();
    for (const auto& [name, counts] : summary.slots) {
        Json& slot = slots[name];
        slot[field::devices] = counts.devices();
        slot[field::succeeded] = counts.done;
        slot[field::failed] = counts.devices() - counts.done;
        slot[field::outcomes] = outcomesOf(counts);
    }
    event[field::recordsLost] = summary.recordsLost;
    return event;
}

} // namespace vtc880

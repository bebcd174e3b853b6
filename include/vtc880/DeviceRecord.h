#pragma once

#include "vtc880/ImageFacts.h"
#include "vtc880/PortInventory.h"
#include "vtc880/RunResult.h"
#include "vtc880/UpdateRun.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace vtc880 {

// One device and one operation, as appended to a record file (one JSON object a line). Its fields,
// as they are written and read, are those of RecordFields.h.
struct DeviceRecord {
    std::chrono::system_clock::time_point start, end;
    std::string host;
    std::string toolVersion;
    Operation operation = Operation::update;
    bool verifyBeforeFinish = false; // an update that compared the whole image before Finish
    std::string slot;                // the station's slot; empty outside a station
    std::string port;
    std::string byId, byPath;
    std::string usbVendor, usbProduct, usbSerial;
    std::optional<ImageFacts> image; // none for an erase
    RunResult result;                // how it ended, what the device holds, the time of each phase
};

// The value of the "format" field: a line without it is not one of ours. Files of the first format
// are still read.
constexpr const char* recordFormat = "vtc880-record/2";
constexpr const char* recordFormatV1 = "vtc880-record/1";

// The record of a run on `port` (its identity when it was found), with the image it sent.
DeviceRecord recordOf(const RunSettings& job, const RunResult& result,
                      std::chrono::system_clock::time_point start, std::chrono::system_clock::time_point end,
                      const Port* port, const ImageFacts* image, const std::string& slot);

// The record as one line of JSON, without its line end.
std::string recordLine(const DeviceRecord& record);

// The port among `ports` that `path` leads to, or nullptr.
const Port* findPort(const std::vector<Port>& ports, const std::string& path);

} // namespace vtc880

#pragma once

#include "image/FileCopy.h"
#include "jobs/DeviceJob.h"
#include "ports/PortInventory.h"

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace vtc880 {

// What a record says of the image a job sent: the file as it was read for the job.
struct ImageFacts {
    std::string path;
    std::uint64_t bytes = 0;     // the file's size
    std::string sha256;          // of the file's bytes, lower-case hexadecimal
    std::string version;         // of its version block; empty when it has none
    std::uint64_t dataBytes = 0; // what an update sends: the blocks' bytes
};

// Reads `path` whole. Returns nothing when it cannot be read.
std::optional<std::string> readWholeFile(const std::string& path);
// The facts of an image file whose bytes were read as `bytes` and loaded as `image`.
ImageFacts imageFacts(const std::string& path, const std::string& bytes, const FileCopy& image);

// Seconds spent in each phase of a run; empty where not known.
struct PhaseSeconds {
    std::optional<double> speedSwitch, updateMode, erase, programming, verify, finish;
};

// One device and one operation, as appended to a record file (one JSON object a line). The README's
// table of record fields describes each.
struct DeviceRecord {
    std::chrono::system_clock::time_point start, end;
    std::string host;
    std::string toolVersion;
    Operation operation = Operation::update;
    bool verify = false;
    std::string slot; // the station's slot; empty outside a station
    std::string port;
    std::string byId, byPath;
    std::string usbVendor, usbProduct, usbSerial;
    std::optional<ImageFacts> image; // none for an erase
    std::string outcome;
    int exitCode = 0;
    std::optional<std::string> state; // the device's state (see deviceStateName)
    PhaseSeconds phases;
    std::optional<std::uint64_t> bytesProgrammed, bytesVerified;
    std::string text; // what the tool said of the result
};

// The value of the "format" field: a line without it is not one of ours.
constexpr const char* recordFormat = "vtc880-record/1";

// The record of a job that ran on `port` (its identity when it was found), with the image it sent.
DeviceRecord recordOf(const RunSettings& job, const RunResult& result,
                      std::chrono::system_clock::time_point start, std::chrono::system_clock::time_point end,
                      const Port* port, const ImageFacts* image, const std::string& slot);

// The record as one line of JSON, without its line end.
std::string recordLine(const DeviceRecord& record);

// The port among `ports` that `path` leads to, or nullptr.
const Port* findPort(const std::vector<Port>& ports, const std::string& path);

} // namespace vtc880

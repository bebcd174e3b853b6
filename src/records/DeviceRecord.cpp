#include "records/DeviceRecord.h"

#include "control/DeviceState.h"
#include "control/ResultText.h"
#include "control/ToolVersion.h"
#include "events/Json.h"
#include "events/JsonEvents.h"
#include "image/ImageBuilder.h"
#include "link/RS232.h"
#include "records/HostName.h"
#include "records/Sha256.h"
#include "text/UtcTime.h"

#include <fstream>
#include <sstream>

namespace vtc880 {

namespace {

// A phase the run never entered has no time.
std::optional<double> secondsIn(const RunReport& report, Phase phase) {
    const auto time = report.times[std::size_t(phase)];
    if (time.count() <= 0) {
        return std::nullopt;
    }
    return std::chrono::duration<double>(time).count();
}

JsonObject& addOptional(JsonObject& json, const std::string& key, const std::optional<double>& value) {
    return value ? json.add(key, *value) : json.addRaw(key, "null");
}

JsonObject& addOptional(JsonObject& json, const std::string& key, const std::optional<std::uint64_t>& value) {
    return value ? json.add(key, std::int64_t(*value)) : json.addRaw(key, "null");
}

std::string firstOf(const std::vector<std::string>& names) {
    return names.empty() ? std::string() : names.front();
}

} // namespace

std::optional<std::string> readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes.str();
}

ImageFacts imageFacts(const std::string& path, const std::string& bytes, const FileCopy& image) {
    ImageFacts facts;
    facts.path = path;
    facts.bytes = bytes.size();
    facts.sha256 = sha256Hex(bytes);
    facts.dataBytes = image.totalSize();
    facts.version = imageVersion(image);
    return facts;
}

const Port* findPort(const std::vector<Port>& ports, const std::string& path) {
    const std::string device = deviceOf(path);
    for (const Port& port : ports) {
        if (port.device == device) {
            return &port;
        }
    }
    return nullptr;
}

DeviceRecord recordOf(const RunSettings& job, const RunResult& result,
                      std::chrono::system_clock::time_point start, std::chrono::system_clock::time_point end,
                      const Port* port, const ImageFacts* image, const std::string& slot) {
    DeviceRecord record;
    record.start = start;
    record.end = end;
    record.host = hostName();
    record.toolVersion = toolVersion();
    record.operation = job.operation;
    record.verify = job.operation == Operation::update && job.verifyBeforeFinish;
    record.slot = slot;
    record.port = job.port;
    if (port != nullptr) {
        record.byId = firstOf(port->byId);
        record.byPath = firstOf(port->byPath);
        record.usbVendor = port->usb.vendorId;
        record.usbProduct = port->usb.productId;
        record.usbSerial = port->usb.serial;
    }
    if (image != nullptr && job.operation != Operation::erase) {
        record.image = *image;
    }
    record.outcome = outcomeName(result.outcome);
    record.exitCode = exitCodeFor(result.outcome);
    const RunReport& report = result.report;
    record.state = deviceStateName(report.device.state);
    if (job.operation == Operation::update) {
        record.bytesProgrammed = report.device.bytesProgrammed;
    }
    if (job.operation == Operation::verify ||
        (job.operation == Operation::update && job.verifyBeforeFinish)) {
        record.bytesVerified = report.bytesVerified;
    }
    record.phases.speedSwitch = secondsIn(report, Phase::speedSwitch);
    record.phases.updateMode = secondsIn(report, Phase::updateMode);
    record.phases.erase = secondsIn(report, Phase::erase);
    record.phases.programming = secondsIn(report, Phase::programming);
    record.phases.verify = secondsIn(report, Phase::verify);
    record.phases.finish = secondsIn(report, Phase::finish);
    record.text = result.text;
    return record;
}

std::string recordLine(const DeviceRecord& r) {
    JsonObject json;
    json.add("format", recordFormat)
        .add("start", isoUtc(r.start))
        .add("end", isoUtc(r.end))
        .add("seconds", std::chrono::duration<double>(r.end - r.start).count())
        .add("host", r.host)
        .add("toolVersion", r.toolVersion)
        .add("operation", operationName(r.operation))
        .add("verify", r.verify)
        .add("slot", r.slot)
        .add("port", r.port)
        .add("byId", r.byId)
        .add("byPath", r.byPath)
        .add("usbVendor", r.usbVendor)
        .add("usbProduct", r.usbProduct)
        .add("usbSerial", r.usbSerial);
    if (r.image) {
        json.add("image", r.image->path)
            .add("imageBytes", std::int64_t(r.image->bytes))
            .add("imageSha256", r.image->sha256)
            .add("imageVersion", r.image->version);
    } else {
        json.addRaw("image", "null")
            .addRaw("imageBytes", "null")
            .addRaw("imageSha256", "null")
            .addRaw("imageVersion", "null");
    }
    json.add("outcome", r.outcome).add("exit", std::int64_t(r.exitCode));
    if (r.state) {
        json.add("state", *r.state);
    } else {
        json.addRaw("state", "null");
    }
    JsonObject phases;
    addOptional(phases, "speedSwitch", r.phases.speedSwitch);
    addOptional(phases, "updateMode", r.phases.updateMode);
    addOptional(phases, "erase", r.phases.erase);
    addOptional(phases, "programming", r.phases.programming);
    addOptional(phases, "verify", r.phases.verify);
    addOptional(phases, "finish", r.phases.finish);
    json.addRaw("phaseSeconds", phases.str());
    addOptional(json, "bytesProgrammed", r.bytesProgrammed);
    addOptional(json, "bytesVerified", r.bytesVerified);
    json.add("text", r.text);
    return json.str();
}

} // namespace vtc880

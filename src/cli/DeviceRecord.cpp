#include "cli/DeviceRecord.h"

#include "cli/Advice.h"
#include "cli/HostName.h"
#include "cli/ImageVersion.h"
#include "cli/Json.h"
#include "cli/Sha256.h"
#include "cli/ToolVersion.h"
#include "cli/UtcTime.h"
#include "link/RS232.h"

#include <fstream>
#include <sstream>

namespace {

const char* operationName(Operation operation) {
    switch (operation) {
    case Operation::update:
        return "update";
    case Operation::verify:
        return "verify";
    case Operation::erase:
        break;
    }
    return "erase";
}

// What the outcome alone tells of the device. JobResult's device state from the core's update run
// replaces this; until then only what is certain is said.
std::optional<std::string> stateAfter(const JobSettings& job, Outcome outcome) {
    switch (outcome) {
    case Outcome::succeeded:
        return job.operation == Operation::update  ? "updated"
               : job.operation == Operation::erase ? "erased"
                                                   : "inUpdateMode";
    case Outcome::portError:
    case Outcome::imageError:
        return "untouched";
    case Outcome::verifyFailed:
        // An update verifies only after every chunk was acknowledged, and then withholds Finish.
        if (job.operation == Operation::update) {
            return "programmedNotFinished";
        }
        return "inUpdateMode";
    default:
        return std::nullopt;
    }
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

const PortIdentity* findPort(const std::vector<PortIdentity>& ports, const std::string& path) {
    const std::string device = deviceOf(path);
    for (const PortIdentity& port : ports) {
        if (port.device == device) {
            return &port;
        }
    }
    return nullptr;
}

DeviceRecord recordOf(const JobSettings& job, const JobResult& result,
                      std::chrono::system_clock::time_point start, std::chrono::system_clock::time_point end,
                      const PortIdentity* port, const ImageFacts* image, const std::string& slot) {
    DeviceRecord record;
    record.start = start;
    record.end = end;
    record.host = hostName();
    record.toolVersion = toolVersion();
    record.operation = job.operation;
    record.verify = job.operation == Operation::update && job.verify;
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
    record.state = stateAfter(job, result.outcome);
    // The byte counts and the phase times come with JobResult's figures from the core's update run;
    // until then a success says the whole image was programmed (and verified, when asked).
    const bool programmed = job.operation == Operation::update &&
                            (result.outcome == Outcome::succeeded || result.outcome == Outcome::verifyFailed);
    if (programmed && record.image) {
        record.bytesProgrammed = record.image->dataBytes;
    }
    if (result.outcome == Outcome::succeeded && record.image) {
        if (job.operation == Operation::verify || job.verify) {
            record.bytesVerified = record.image->dataBytes;
        }
    }
    record.text = resultText(result, job.operation, devicePathFor(job.port));
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

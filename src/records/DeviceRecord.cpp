#include "vtc880/DeviceRecord.h"

#include "records/HostName.h"
#include "records/RecordFields.h"
#include "vtc880/ToolVersion.h"

namespace vtc880 {

namespace {

std::string firstOf(const std::vector<std::string>& names) {
    return names.empty() ? std::string() : names.front();
}

} // namespace

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
    record.verifyBeforeFinish = job.operation == Operation::update && job.verifyBeforeFinish;
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
    record.result = result;
    return record;
}

std::string recordLine(const DeviceRecord& record) {
    return jsonLine(recordJson(record));
}

} // namespace vtc880

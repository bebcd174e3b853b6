#pragma once

#include "vtc880/DeviceRecord.h"
#include "vtc880/Fields.h"
#include "vtc880/Json.h"

#include <functional>
#include <string>
#include <vector>

namespace vtc880 {

// The fields of a device record, in the order written: the one definition that the writer, the
// reader, `vtc880 records` and its CSV all go by. A field of a field is named with a dot
// ("phase_seconds.erase"); names the JSON events share mean the same there.
struct RecordField {
    std::string name;
    JsonKind kind; // when it has a value
    bool nullable; // written as null where it does not apply or is not known
    std::function<Json(const DeviceRecord&)> write;
    // The same field read from a record of the first format, which named fields in camelCase and
    // values in words ("inUpdateMode", "no answer").
    std::function<Json(const Json& v1)> fromV1;
};

const std::vector<RecordField>& recordFields();

// The record as the JSON object the file holds.
Json recordJson(const DeviceRecord& record);

// The value of `field` in a record read from a file of either format: null when absent.
Json recordValue(const RecordField& field, const Json& record, bool firstFormat);

} // namespace vtc880

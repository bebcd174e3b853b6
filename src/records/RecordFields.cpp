#include "records/RecordFields.h"

#include "text/UtcTime.h"
#include "vtc880/DeviceState.h"
#include "vtc880/Operation.h"
#include "vtc880/Outcome.h"
#include "vtc880/Phase.h"

namespace vtc880 {

namespace {

using K = JsonKind;

// A field of the first format by its old name, unchanged.
std::function<Json(const Json&)> v1(std::string name) {
    return [name = std::move(name)](const Json& record) {
        const auto found = record.find(name);
        return found == record.end() ? Json() : *found;
    };
}

// "inUpdateMode" as "in_update_mode".
std::string snakeCase(const std::string& camel) {
    std::string snake;
    for (const char c : camel) {
        if (c >= 'A' && c <= 'Z') {
            snake += '_';
            snake += char(c - 'A' + 'a');
        } else {
            snake += c;
        }
    }
    return snake;
}

// "speed_switch" as the first format named it: "speedSwitch".
std::string camelCase(const std::string& snake) {
    std::string camel;
    bool upper = false;
    for (const char c : snake) {
        if (c == '_') {
            upper = true;
        } else {
            camel += upper && c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c;
            upper = false;
        }
    }
    return camel;
}

// "no answer" as "no_answer".
std::string underscored(std::string words) {
    for (char& c : words) {
        c = c == ' ' ? '_' : c;
    }
    return words;
}

Json textOr(const Json& value, const std::function<std::string(const std::string&)>& convert) {
    return value.is_string() ? Json(convert(value.get<std::string>())) : value;
}

Json orNull(bool present, Json value) {
    return present ? value : Json();
}

bool verifies(const DeviceRecord& r) {
    return r.operation == Operation::verify || r.verifyBeforeFinish;
}

std::vector<RecordField> allFields() {
    using R = const DeviceRecord&;
    std::vector<RecordField> all{
        {"format", K::string, false, [](R) { return Json(recordFormat); }, v1("format")},
        {"start", K::string, false, [](R r) { return Json(isoUtc(r.start)); }, v1("start")},
        {"end", K::string, false, [](R r) { return Json(isoUtc(r.end)); }, v1("end")},
        {"wall_seconds", K::number, false,
         [](R r) { return Json(roundedSeconds(std::chrono::duration<double>(r.end - r.start).count())); },
         v1("seconds")},
        {field::seconds, K::number, false,
         [](R r) { return Json(roundedSeconds(runSeconds(r.result.report))); },
         [](const Json&) { return Json(); }},
        {"host", K::string, false, [](R r) { return Json(r.host); }, v1("host")},
        {"tool_version", K::string, false, [](R r) { return Json(r.toolVersion); }, v1("toolVersion")},
        {field::operation, K::string, false, [](R r) { return Json(operationName(r.operation)); },
         v1("operation")},
        {field::verifyBeforeFinish, K::boolean, false, [](R r) { return Json(r.verifyBeforeFinish); },
         v1("verify")},
        {field::slot, K::string, false, [](R r) { return Json(r.slot); }, v1("slot")},
        {field::port, K::string, false, [](R r) { return Json(r.port); }, v1("port")},
        {field::byId, K::string, false, [](R r) { return Json(r.byId); }, v1("byId")},
        {"by_path", K::string, false, [](R r) { return Json(r.byPath); }, v1("byPath")},
        {"usb_vendor", K::string, false, [](R r) { return Json(r.usbVendor); }, v1("usbVendor")},
        {"usb_product", K::string, false, [](R r) { return Json(r.usbProduct); }, v1("usbProduct")},
        {field::usbSerial, K::string, false, [](R r) { return Json(r.usbSerial); }, v1("usbSerial")},
        {field::image, K::string, true, [](R r) { return r.image ? Json(r.image->path) : Json(); },
         v1("image")},
        {field::imageFileBytes, K::integer, true, [](R r) { return r.image ? Json(r.image->bytes) : Json(); },
         v1("imageBytes")},
        {field::imageSha256, K::string, true, [](R r) { return r.image ? Json(r.image->sha256) : Json(); },
         v1("imageSha256")},
        {field::imageVersion, K::string, true, [](R r) { return r.image ? Json(r.image->version) : Json(); },
         v1("imageVersion")},
        {field::imageBytes, K::integer, true, [](R r) { return r.image ? Json(r.image->dataBytes) : Json(); },
         [](const Json&) { return Json(); }},
        {field::ok, K::boolean, false, [](R r) { return Json(r.result.outcome == Outcome::succeeded); },
         [](const Json& record) {
             const auto outcome = record.find("outcome");
             return outcome == record.end() ? Json() : Json(*outcome == "succeeded");
         }},
        {field::outcome, K::string, false, [](R r) { return Json(outcomeName(r.result.outcome)); },
         [](const Json& record) { return textOr(v1("outcome")(record), underscored); }},
        {field::exit, K::integer, false, [](R r) { return Json(exitCodeFor(r.result.outcome)); }, v1("exit")},
        {field::state, K::string, true,
         [](R r) { return Json(deviceStateName(r.result.report.device.state)); },
         [](const Json& record) { return textOr(v1("state")(record), snakeCase); }},
    };
    for (std::size_t p = 0; p < phaseCount; ++p) {
        const Phase phase = Phase(p);
        all.push_back({std::string(field::phaseSeconds) + "." + phaseName(phase), K::number, true,
                       [phase](R r) {
                           const auto time = r.result.report.times[std::size_t(phase)];
                           return orNull(time.count() > 0,
                                         Json(roundedSeconds(std::chrono::duration<double>(time).count())));
                       },
                       [phase](const Json& record) {
                           const auto phases = record.find("phaseSeconds");
                           if (phases == record.end() || !phases->is_object()) {
                               return Json();
                           }
                           const auto found = phases->find(camelCase(phaseName(phase)));
                           return found == phases->end() ? Json() : *found;
                       }});
    }
    std::vector<RecordField> rest{
        {field::bytesProgrammed, K::integer, true,
         [](R r) {
             return orNull(r.operation == Operation::update, Json(r.result.report.device.bytesProgrammed));
         },
         v1("bytesProgrammed")},
        {field::bytesVerified, K::integer, true,
         [](R r) { return orNull(verifies(r), Json(r.result.report.bytesVerified)); }, v1("bytesVerified")},
        {field::text, K::string, false, [](R r) { return Json(r.result.text); }, v1("text")},
    };
    all.insert(all.end(), rest.begin(), rest.end());
    return all;
}

} // namespace

const std::vector<RecordField>& recordFields() {
    static const std::vector<RecordField> all = allFields();
    return all;
}

Json recordJson(const DeviceRecord& record) {
    Json json;
    for (const RecordField& field : recordFields()) {
        const std::size_t dot = field.name.find('.');
        if (dot == std::string::npos) {
            json[field.name] = field.write(record);
        } else {
            json[field.name.substr(0, dot)][field.name.substr(dot + 1)] = field.write(record);
        }
    }
    return json;
}

Json recordValue(const RecordField& field, const Json& record, bool firstFormat) {
    if (!record.is_object()) {
        return Json();
    }
    if (firstFormat) {
        return field.fromV1(record);
    }
    const std::size_t dot = field.name.find('.');
    const auto outer = record.find(field.name.substr(0, dot));
    if (outer == record.end()) {
        return Json();
    }
    if (dot == std::string::npos) {
        return *outer;
    }
    if (!outer->is_object()) {
        return Json();
    }
    const auto inner = outer->find(field.name.substr(dot + 1));
    return inner == outer->end() ? Json() : *inner;
}

} // namespace vtc880

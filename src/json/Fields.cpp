#include "vtc880/Fields.h"

#include "vtc880/Phase.h"

namespace vtc880 {

const char* jsonKindName(JsonKind kind) {
    switch (kind) {
    case JsonKind::string:
        return "string";
    case JsonKind::integer:
        return "integer";
    case JsonKind::number:
        return "number";
    case JsonKind::boolean:
        return "boolean";
    case JsonKind::object:
        return "object";
    case JsonKind::array:
        return "array";
    }
    return "";
}

namespace {

std::string within(const char* outer, const char* inner) {
    return std::string(outer) + "." + inner;
}

std::vector<EventField> allFields() {
    using K = JsonKind;
    constexpr Presence always = Presence::always;
    constexpr Presence sometimes = Presence::sometimes;
    constexpr Presence inStation = Presence::inStation;
    namespace f = field;
    namespace e = event;
    std::vector<EventField> all{
        {"", e::start, f::slot, K::string, inStation},
        {"", e::start, f::port, K::string, always},
        {"", e::start, f::devicePath, K::string, always},
        {"", e::start, f::operation, K::string, always},
        {"", e::start, f::link, K::string, always},
        {"", e::start, f::speedSwitch, K::boolean, always},
        {"", e::start, f::verifyBeforeFinish, K::boolean, always},
        {"", e::start, f::image, K::string, sometimes},
        {"", e::start, f::imageVersion, K::string, sometimes},
        {"", e::start, f::imageBytes, K::integer, sometimes},
        {"", e::start, f::blocks, K::integer, sometimes},

        {"", e::phase, f::slot, K::string, inStation},
        {"", e::phase, f::port, K::string, always},
        {"", e::phase, f::phase, K::string, always},

        {"", e::progress, f::slot, K::string, inStation},
        {"", e::progress, f::port, K::string, always},
        {"", e::progress, f::phase, K::string, always},
        {"", e::progress, f::done, K::integer, always},
        {"", e::progress, f::total, K::integer, always},
        {"", e::progress, f::unit, K::string, always},
        {"", e::progress, f::percent, K::integer, always},
        {"", e::progress, f::block, K::integer, sometimes},
        {"", e::progress, f::blocks, K::integer, sometimes},
        {"", e::progress, f::bytesPerSecond, K::number, sometimes},
        {"", e::progress, f::secondsLeft, K::number, sometimes},

        {"", e::status, f::slot, K::string, inStation},
        {"", e::status, f::port, K::string, always},
        {"", e::status, f::phase, K::string, sometimes},
        {"", e::status, f::text, K::string, always},

        {"", e::message, f::slot, K::string, inStation},
        {"", e::message, f::port, K::string, always},
        {"", e::message, f::icon, K::string, always},
        {"", e::message, f::caption, K::string, always},
        {"", e::message, f::text, K::string, always},
        {"", e::message, f::detail, K::string, always},

        {"", e::result, f::slot, K::string, inStation},
        {"", e::result, f::port, K::string, always},
        {"", e::result, f::operation, K::string, always},
        {"", e::result, f::ok, K::boolean, always},
        {"", e::result, f::outcome, K::string, always},
        {"", e::result, f::exit, K::integer, always},
        {"", e::result, f::state, K::string, always},
        {"", e::result, f::bytesProgrammed, K::integer, always},
        {"", e::result, f::imageBytes, K::integer, always},
        {"", e::result, f::lastWordAddress, K::integer, sometimes},
        {"", e::result, f::eraseUnconfirmed, K::boolean, sometimes},
        {"", e::result, f::mismatch, K::object, sometimes},
        {"", e::result, within(f::mismatch, f::block), K::integer, sometimes},
        {"", e::result, within(f::mismatch, f::wordAddress), K::integer, sometimes},
        {"", e::result, within(f::mismatch, f::offset), K::integer, sometimes},
        {"", e::result, within(f::mismatch, f::length), K::integer, sometimes},
        {"", e::result, within(f::mismatch, f::answered), K::boolean, sometimes},
        {"", e::result, f::seconds, K::number, always},
        {"", e::result, f::phaseSeconds, K::object, always},
    };
    for (std::size_t p = 0; p < phaseCount; ++p) {
        all.push_back({"", e::result, within(f::phaseSeconds, phaseName(Phase(p))), K::number, sometimes});
    }
    std::vector<EventField> rest{
        {"", e::result, f::text, K::string, always},
        {"", e::result, f::usbSerial, K::string, inStation},

        {"", e::summary, f::devices, K::integer, always},
        {"", e::summary, f::succeeded, K::integer, always},
        {"", e::summary, f::failed, K::integer, always},
        {"", e::summary, f::exit, K::integer, always},
        {"", e::summary, f::interrupted, K::boolean, always},
        {"", e::summary, f::outcomes, K::object, inStation},
        {"", e::summary, f::slots, K::object, inStation},
        {"", e::summary, f::recordsLost, K::integer, inStation},

        {"station", e::image, f::image, K::string, always},
        {"station", e::image, f::ok, K::boolean, always},
        {"station", e::image, f::imageFileBytes, K::integer, sometimes},
        {"station", e::image, f::imageSha256, K::string, sometimes},
        {"station", e::image, f::imageVersion, K::string, sometimes},
        {"station", e::image, f::imageBytes, K::integer, sometimes},
        {"station", e::image, f::problem, K::string, sometimes},
        {"station", e::watching, f::folder, K::string, always},
        {"station", e::watching, f::polling, K::boolean, always},
        {"station", e::watching, f::slots, K::array, always},
        {"station", e::arrival, f::slot, K::string, always},
        {"station", e::arrival, f::port, K::string, always},
        {"station", e::arrival, f::usbSerial, K::string, always},
        {"station", e::departure, f::slot, K::string, always},
        {"station", e::departure, f::port, K::string, always},
        {"station", e::notice, f::text, K::string, always},

        {"info", e::result, f::ok, K::boolean, always},
        {"info", e::result, f::problem, K::string, always},
        {"info", e::result, f::problems, K::array, always},
        {"info", e::result, f::imageVersion, K::string, sometimes},
        {"info", e::result, f::blocks, K::integer, sometimes},
        {"info", e::result, f::imageBytes, K::integer, sometimes},
        {"info", e::result, f::records, K::array, sometimes},

        {"pack", e::result, f::ok, K::boolean, always},
        {"pack", e::result, f::problems, K::array, always},
        {"pack", e::result, f::image, K::string, sometimes},
        {"pack", e::result, f::blocks, K::integer, sometimes},
        {"pack", e::result, f::imageBytes, K::integer, sometimes},

        {"ports", e::port, f::name, K::string, always},
        {"ports", e::port, f::device, K::string, always},
        {"ports", e::port, f::driver, K::string, always},
        {"ports", e::port, f::usb, K::string, always},
        {"ports", e::port, f::usbSerial, K::string, always},
        {"ports", e::port, f::byId, K::string, always},
        {"ports", e::port, f::mayOpen, K::boolean, always},
        {"ports", e::port, f::latencyTimerMs, K::integer, sometimes},

        {"records", e::problem, f::file, K::string, always},
        {"records", e::problem, f::line, K::integer, always},
        {"records", e::problem, f::text, K::string, always},
        {"records", e::recordsSummary, f::records, K::integer, always},
        {"records", e::recordsSummary, f::badLines, K::integer, always},
        {"records", e::recordsSummary, f::outcomes, K::object, always},
        {"records", e::recordsSummary, f::slots, K::object, always},
        {"records", e::recordsSummary, f::images, K::object, always},
    };
    all.insert(all.end(), rest.begin(), rest.end());
    return all;
}

} // namespace

const std::vector<EventField>& eventFields() {
    static const std::vector<EventField> all = allFields();
    return all;
}

} // namespace vtc880

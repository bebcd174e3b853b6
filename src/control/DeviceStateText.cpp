#include "vtc880/DeviceStateText.h"

#include "vtc880/Format.h"

#include <cctype>

namespace vtc880 {

namespace {
const char* const untilPowerCycled = "it stays in update mode until it is power-cycled";
} // namespace

std::string deviceStateText(const DeviceHolding& device) {
    switch (device.state) {
    case DeviceState::untouched:
        return "nothing was changed on the device";
    case DeviceState::inUpdateMode:
        if (device.eraseUnconfirmed) {
            return std::string("the erase was sent but did not complete: the device may no longer hold "
                               "working firmware; run the update again; ") +
                   untilPowerCycled;
        }
        return "nothing was erased: the device still holds its firmware; it may stay in update mode until it "
               "is power-cycled";
    case DeviceState::erased:
        return std::string("the device is erased and holds no firmware: run the update again; ") +
               untilPowerCycled;
    case DeviceState::partlyProgrammed:
        return "the device holds only part of the new firmware (" + groupedThousands(device.bytesProgrammed) +
               " of " + groupedThousands(device.imageBytes) + " bytes, up to word " +
               formatText("0x%X", device.lastWordAddress) + "): run the update again before using it; " +
               untilPowerCycled;
    case DeviceState::programmedNotFinished:
        return std::string("the device holds the whole image but the update was not finished (no Finish was "
                           "sent): run the update again before using it; ") +
               untilPowerCycled;
    case DeviceState::updated:
        return "the device holds the new firmware";
    }
    return {};
}

std::string firmwareAtRiskText(const DeviceHolding& device) {
    const bool touched = device.eraseUnconfirmed || device.state == DeviceState::erased ||
                         device.state == DeviceState::partlyProgrammed ||
                         device.state == DeviceState::programmedNotFinished;
    if (!touched) {
        return {};
    }
    std::string text = deviceStateText(device);
    text[0] = char(std::toupper(static_cast<unsigned char>(text[0])));
    return text + ".";
}

} // namespace vtc880

#pragma once

#include "vtc880/DeviceCodes.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace vtc880 {

// How the device is attached. Its speed before the speed switch follows from the link: an RS-232
// line starts at 19200 and takes the second speed command at 115200, the first one's; the USB link
// runs at 921600 throughout the switch.
enum class LinkKind { rs232, usb };

// One row of the link table.
struct LinkEntry {
    LinkKind kind;
    const char* name;              // as --link and the JSON events name it
    const char* label;             // as the window lists it
    std::int32_t initialSpeed;     // the device's speed until the speed switch
    std::int32_t secondStageSpeed; // the speed the second speed command goes out at
};

// Every link, in the window's order; the default first.
inline constexpr std::array<LinkEntry, 2> links{{
    {LinkKind::rs232, "rs232", "RS-232", Speed::rs232Initial, Speed::update},
    {LinkKind::usb, "usb", "USB", Speed::usbInitial, Speed::usbInitial},
}};

const LinkEntry& linkEntry(LinkKind kind);
// The link of that name, or nullptr.
const LinkEntry* linkNamed(std::string_view name);
// The speed of the second speed command after a first one at `firstStageSpeed`: the second stage of
// the link that starts there, otherwise the same speed (a device already switched to 115200).
std::int32_t secondStageSpeed(std::int32_t firstStageSpeed);
// "rs232 (starts at 19200) or usb (starts at 921600)", for help texts.
std::string linkChoicesText();

} // namespace vtc880

#pragma once

#include "vtc880/DeviceState.h"

#include <string>

namespace vtc880 {

// What the device holds and what to do about it, in words: a clause that starts in lower case and
// has no full stop, for result lines ("the device is erased and holds no firmware: run the update
// again; ...").
std::string deviceStateText(const DeviceHolding& device);

// The same as a sentence for a message box's detail, but only once the device's firmware was touched
// (an erase was sent, or chunks were programmed); empty before that, when the device still holds
// what it held.
std::string firmwareAtRiskText(const DeviceHolding& device);

} // namespace vtc880

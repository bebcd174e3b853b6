#pragma once

namespace vtc880 {

// What a run does once the device is in its update mode.
enum class Operation {
    update, // erase, program every block, (when asked) verify, Finish
    verify, // compare the device's memory with the image
    erase,  // erase the firmware
};

} // namespace vtc880

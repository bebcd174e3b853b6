#pragma once

#include <optional>
#include <string_view>

namespace vtc880 {

// What a run does once the device is in its update mode.
enum class Operation {
    update, // erase, program every block, (when asked) verify, Finish
    verify, // compare the device's memory with the image
    erase,  // erase the firmware
};

// The operation's name as the commands, the JSON events and the records give it ("update"), and what
// a device is once it succeeded ("updated").
const char* operationName(Operation operation);
const char* operationDone(Operation operation);
std::optional<Operation> operationNamed(std::string_view name);

} // namespace vtc880

#include "vtc880/DeviceState.h"

namespace vtc880 {

namespace {

// In the order of the enum.
constexpr const char* names[] = {"untouched",         "in_update_mode",          "erased",
                                 "partly_programmed", "programmed_not_finished", "updated"};

} // namespace

const char* deviceStateName(DeviceState state) {
    return names[std::size_t(state)];
}

std::optional<DeviceState> deviceStateNamed(std::string_view name) {
    for (std::size_t i = 0; i < std::size(names); ++i) {
        if (name == names[i]) {
            return DeviceState(i);
        }
    }
    return std::nullopt;
}

} // namespace vtc880

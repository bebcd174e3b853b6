#include "control/DeviceState.h"

namespace vtc880 {

const char* deviceStateName(DeviceState state) {
    switch (state) {
    case DeviceState::untouched:
        return "untouched";
    case DeviceState::inUpdateMode:
        return "inUpdateMode";
    case DeviceState::erased:
        return "erased";
    case DeviceState::partlyProgrammed:
        return "partlyProgrammed";
    case DeviceState::programmedNotFinished:
        return "programmedNotFinished";
    case DeviceState::updated:
        return "updated";
    }
    return "untouched";
}

} // namespace vtc880

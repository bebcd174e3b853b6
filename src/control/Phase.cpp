#include "control/Phase.h"

namespace vtc880 {

const char* phaseName(Phase phase) {
    switch (phase) {
    case Phase::speedSwitch:
        return "speed switch";
    case Phase::updateMode:
        return "update mode";
    case Phase::erase:
        return "erase";
    case Phase::programming:
        return "programming";
    case Phase::verify:
        return "verify";
    case Phase::finish:
        return "finish";
    }
    return "";
}

} // namespace vtc880

#include "vtc880/ToolVersion.h"

namespace vtc880 {

const char* toolVersion() {
    return VTC880_VERSION;
}

} // namespace vtc880

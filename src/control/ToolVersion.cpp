#include "control/ToolVersion.h"

const char* toolVersion() {
    return VTC880_VERSION;
}

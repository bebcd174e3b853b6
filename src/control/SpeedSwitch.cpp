#include "link/Protocole.h"
#include "vtc880/Command.h"
#include "vtc880/DeviceCodes.h"
#include "vtc880/LinkTable.h"

namespace vtc880 {

// Two stages, each on a fresh open: the first command at the speed the device runs at now (19200 on a
// first RS-232 request, 921600 on USB), the second at the speed the first one selected. Nothing is read:
// the device does not answer speed commands. A stage whose port does not open keeps its cause.
bool Command::changeBaudRate() {
    if (busy()) {
        return false;
    }
    closeCom(); // a link left open by connect() or eraseAll() would refuse the exclusive opens
    lastOpenError = PortError::none;
    lastOpenSystemError = 0;
    openFailureDetail.clear();
    openFailureBrief.clear();
    speedCommands = 0;

    bool stageOne = false;
    protocole = newLink();
    if (!protocole->error) {
        protocole->changeBaudRate(1, Speed::update);
        stageOne = true;
        ++speedCommands;
    } else {
        noteOpenFailure(*protocole);
    }
    closeCom();

    BaudRate = secondStageSpeed(BaudRate);

    bool result = false;
    protocole = newLink();
    if (!protocole->error) {
        if (stageOne) {
            protocole->changeBaudRate(2, Speed::update);
            result = true;
            ++speedCommands;
        }
    } else if (lastOpenError == PortError::none) {
        noteOpenFailure(*protocole);
    }
    closeCom();

    BaudRate = Speed::update;
    return result;
}

} // namespace vtc880

#include "control/Command.h"
#include "link/DeviceCodes.h"

// Two stages, each on a fresh open: the first command at the speed the device runs at now (19200 on a
// first RS-232 request, 921600 on USB), the second at the speed the first one selected. Nothing is read:
// the device does not answer speed commands.
bool Command::changeBaudRate() {
    if (busy()) {
        return false;
    }
    closeCom(); // a link left open by connect() or eraseAll() would refuse the exclusive opens

    bool stageOne = false;
    protocole = std::make_unique<Protocole>(comPort, BaudRate, clock);
    if (!protocole->error) {
        protocole->timeOut(Limits::pollTimeoutMs);
        protocole->changeBaudRate(1, Speed::update);
        stageOne = true;
    }
    closeCom();

    if (BaudRate == Speed::rs232Initial) {
        BaudRate = Speed::update;
    }

    bool result = false;
    protocole = std::make_unique<Protocole>(comPort, BaudRate, clock);
    if (!protocole->error) {
        protocole->timeOut(Limits::pollTimeoutMs);
        if (stageOne) {
            protocole->changeBaudRate(2, Speed::update);
            result = true;
        }
    }
    closeCom();

    BaudRate = Speed::update;
    return result;
}

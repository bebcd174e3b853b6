#include "vtc880/Command.h"

#include "link/Protocole.h"
#include "ports/PortErrorText.h"
#include "vtc880/DeviceCodes.h"

#include <system_error>

namespace vtc880 {

Command::Command(const std::string& portName, std::int32_t baudRate, RunObserver& observer, Clock& clock)
    : comPort(portName), BaudRate(baudRate), observer(observer), clock(clock) {}

Command::~Command() {
    cancel();
    waitForWorker();
}

bool Command::stopRequested() const {
    return cancelRequested.load() || (sharedStop != nullptr && sharedStop->load()) ||
           (stopBeforeErase != nullptr && stopBeforeErase->load() && !progress.firmwareTouched());
}

void Command::changeComPort(const std::string& name) {
    comPort = name;
}

void Command::changeBaudRate2(std::int32_t baud) {
    BaudRate = baud;
}

void Command::waitForWorker() {
    if (trd.joinable()) {
        trd.join();
    }
}

std::unique_ptr<Protocole> Command::newLink() {
    auto link = std::make_unique<Protocole>(comPort, BaudRate, clock);
    link->stopPacing = [this] { return stopRequested(); };
    link->trace = traceHook;
    return link;
}

void Command::noteOpenFailure(const Protocole& failed) {
    lastOpenError = failed.cause();
    lastOpenSystemError = failed.systemError();
    openFailureDetail =
        portErrorDetail(failed.cause(), failed.systemError(), failed.devicePath(), failed.baudRate());
    openFailureBrief = portErrorBrief(failed.cause(), failed.systemError(), failed.baudRate());
}

bool Command::openCom() {
    protocole = newLink();
    if (!protocole->error) {
        return true;
    }
    noteOpenFailure(*protocole);
    protocole.reset();
    return false;
}

bool Command::closeCom() {
    protocole.reset();
    return true;
}

void Command::connect() {
    connectionDone = false;
    start([this] { ThreadConnect(); }, "connect", false);
}

void Command::download() {
    start([this] { ThreadDownload(); }, "download", false);
}

void Command::connectAndDownload() {
    connectionDone = false;
    start([this] { ThreadConnectAndDownload(); }, "connect", false);
}

void Command::connectAnd(Operation operation) {
    connectionDone = false;
    start([this, operation] { ThreadConnectAnd(operation); }, "connect", false);
}

void Command::verify() {
    start([this] { ThreadVerify(); }, "verify", false);
}

void Command::eraseAll() {
    start([this] { ThreadEraseAll(); }, "erase", true);
}

void Command::start(std::function<void()> body, const char* during, bool keepOpenLink) {
    if (threadActive) {
        return;
    }
    bool idle = false;
    if (!running.compare_exchange_strong(idle, true)) {
        return; // two workers never share the port
    }
    waitForWorker(); // the previous worker has ended; release its thread
    lastOpenError = PortError::none;
    lastOpenSystemError = 0;
    openFailureDetail.clear();
    openFailureBrief.clear();
    if (!keepOpenLink || !protocole) {
        progress.begin(0); // a fresh link: whatever the device held, this run has done nothing yet
        // A link left open by an earlier connect() or eraseAll() would make the exclusive open fail.
        closeCom();
        if (!openCom()) {
            outcome = Outcome::portError;
            running = false;
            reportOpenFailure(during);
            return;
        }
    }
    outcome = Outcome::none;
    runFileName = fileName;
    runPreloaded = preloaded;
    cancelRequested = false;
    try {
        trd = std::thread([this, body = std::move(body)] {
            body();
            running = false;
        });
    } catch (const std::system_error& error) {
        closeCom();
        outcome = Outcome::noWorker;
        running = false;
        RunProblem told;
        told.kind = RunProblem::Kind::noWorker;
        told.port = comPort;
        told.during = during;
        told.detail = error.what();
        observer.problem(told);
    }
}

void Command::reportOpenFailure(const char* during) {
    RunProblem told;
    told.kind = RunProblem::Kind::portNotOpened;
    told.port = comPort;
    told.during = during;
    told.detail = openFailureDetail;
    observer.problem(told);
}

} // namespace vtc880

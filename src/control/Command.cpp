#include "control/Command.h"

#include "control/Format.h"
#include "control/PortErrorText.h"
#include "image/ImageFile.h"
#include "link/DeviceCodes.h"

#include <system_error>

Command::Command(const std::string& portName, std::int32_t baudRate, Sinks& sinks, Clock& clock)
    : comPort(portName), BaudRate(baudRate), sinks(sinks), clock(clock) {}

Command::~Command() {
    cancel();
    waitForWorker();
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

bool Command::openCom() {
    protocole = std::make_unique<Protocole>(comPort, BaudRate, clock);
    if (!protocole->error) {
        protocole->timeOut(Limits::pollTimeoutMs);
        return true;
    }
    lastOpenError = protocole->cause();
    openFailureDetail =
        portErrorDetail(protocole->cause(), protocole->systemError(), protocole->devicePath());
    protocole.reset();
    return false;
}

bool Command::closeCom() {
    protocole.reset();
    return true;
}

int Command::firmwareExtract(const std::string& path, FileCopy& list) {
    return ::firmwareExtract(path, list);
}

void Command::connect() {
    connectionDone = false;
    start([this] { ThreadConnect(); }, "Error: connect", false);
}

void Command::download() {
    start([this] { ThreadDownload(); }, "Error: download", false);
}

void Command::connectAndDownload() {
    connectionDone = false;
    start([this] { ThreadConnectAndDownload(); }, "Error: connect", false);
}

void Command::verify() {
    start([this] { ThreadVerify(); }, "Error: verify", false);
}

void Command::eraseAll() {
    start([this] { ThreadEraseAll(); }, "Error: erase", true);
}

void Command::start(std::function<void()> body, const char* caption, bool keepOpenLink) {
    if (threadActive) {
        return;
    }
    bool idle = false;
    if (!running.compare_exchange_strong(idle, true)) {
        return; // two workers never share the port
    }
    waitForWorker(); // the previous worker has ended; release its thread
    if (!keepOpenLink || !protocole) {
        // A link left open by an earlier connect() or eraseAll() would make the exclusive open fail.
        closeCom();
        if (!openCom()) {
            outcome = Outcome::portError;
            running = false;
            reportOpenFailure(caption);
            return;
        }
    }
    outcome = Outcome::none;
    runFileName = fileName;
    cancelRequested = false;
    try {
        trd = std::thread([this, body = std::move(body)] {
            body();
            running = false;
        });
    } catch (const std::system_error&) {
        closeCom();
        running = false;
    }
}

void Command::reportOpenFailure(const char* caption) {
    Message box;
    box.text = formatText("Error while connecting to %s !!!", comPort.c_str());
    box.caption = caption;
    box.icon = MessageIcon::error;
    box.detail = openFailureDetail;
    sinks.messageBox(box);
}

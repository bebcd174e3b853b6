#pragma once

#include "control/Outcome.h"
#include "control/Sinks.h"
#include "image/FileCopy.h"
#include "link/Clock.h"
#include "link/Protocole.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

// Runs updates: holds the port, the speed and the firmware file name, switches the device's speed,
// and starts the one background worker that talks to the device (connect, erase, download, verify).
// The window, the command-line tool and the tests all drive the device through it.
//
// Threads: the setters, the speed switch and the starters are called from one thread (the window's).
// At most one worker runs; a starter called while one runs does nothing. Workers report through the
// sinks from their own thread. `cancel()` asks a running worker to stop: every wait checks the flag at
// each poll (1 ms) or pause slice, and no message box is raised after it, so the worker ends within
// the longest uninterruptible step (the paced preamble, under 0.2 s) unless the sinks themselves block
// it. The destructor cancels and joins, so a front end may destroy the Command while a worker runs
// (for example when its window closes); a front end whose message box may be open at that moment must
// make its messageBox() return. The sinks and the clock must outlive the Command.
class Command {
  public:
    Command(const std::string& portName, std::int32_t baudRate, Sinks& sinks, Clock& clock = systemClock());
    ~Command();
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    std::string fileName;                  // firmware image file; read when a worker starts
    std::atomic<bool> threadActive{false}; // the connect-and-download worker runs
    std::atomic<bool> connected{false};    // a connect got the handshake Ack; never cleared
    // False from a call of connect() or connectAndDownload() until a connect-and-download worker ends.
    std::atomic<bool> connectionDone{true};

    // How the last operation ended; `none` while it runs. Set by the starter when the port does not
    // open, otherwise by the worker as it ends.
    std::atomic<Outcome> outcome{Outcome::none};
    // Set before download() or connectAndDownload(): compare the whole image on the same link after
    // the last chunk, and send Finish only when it is equal.
    bool verifyBeforeFinish = false;
    // Why the last open failed, for front ends that say more than the message box.
    PortError openError() const { return lastOpenError; }

    void changeComPort(const std::string& name);
    void changeBaudRate2(std::int32_t baud);
    // The two-stage speed switch; runs on the caller's thread for about a second. True when both stages
    // opened the port and sent their speed command. Afterwards the speed is 115200 and no link is open.
    // Refused (false, nothing changed) while a worker runs: the worker holds the port.
    bool changeBaudRate();

    // Starters: each opens the link (eraseAll() keeps one left open by an earlier connect() or
    // eraseAll()) and starts its worker, or shows "Error while connecting to %s !!!" when the port
    // cannot be opened. They return at once.
    void connect();
    void download();
    void connectAndDownload();
    void verify();
    void eraseAll();

    bool busy() const { return running.load() || threadActive.load(); } // a worker runs
    void cancel() { cancelRequested = true; }
    void waitForWorker(); // returns once the worker started last has ended

    const std::string& portName() const { return comPort; }
    std::int32_t baudRate() const { return BaudRate; }

  private:
    bool openCom();
    bool closeCom();
    static int firmwareExtract(const std::string& path, FileCopy& list);

    void start(std::function<void()> body, const char* caption, bool keepOpenLink);
    void reportOpenFailure(const char* caption);

    void ThreadConnect();
    void ThreadEraseAll();
    bool ThreadDownload();
    void finishRun(Outcome result); // records the outcome unless the run was cancelled
    void ThreadConnectAndDownload();
    void ThreadVerify();

    std::string comPort;
    std::int32_t BaudRate;
    std::unique_ptr<Protocole> protocole;
    Sinks& sinks;
    Clock& clock;

    std::atomic<bool> running{false}; // a worker runs, whichever starter began it
    std::atomic<bool> cancelRequested{false};
    std::string runFileName;       // fileName as it was when the worker started
    std::string openFailureDetail; // why the last openCom() failed
    PortError lastOpenError = PortError::none;
    std::thread trd;
};

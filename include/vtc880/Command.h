#pragma once

#include "vtc880/Clock.h"
#include "vtc880/FileCopy.h"
#include "vtc880/Operation.h"
#include "vtc880/Outcome.h"
#include "vtc880/PortError.h"
#include "vtc880/RunObserver.h"
#include "vtc880/RunProgress.h"
#include "vtc880/Trace.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace vtc880 {

class Protocole;
class Session;

// Runs updates: holds the port, the speed and the firmware file name, switches the device's speed,
// and starts the one background worker that talks to the device (connect, erase, download, verify).
// A whole press of "Update" is an UpdateRun, which drives a Command.
//
// Threads: the setters, the speed switch and the starters are called from one thread (the window's).
// At most one worker runs; a starter called while one runs does nothing. Workers report to the
// observer from their own thread. `cancel()` asks a running worker (or a speed switch under way) to stop:
// every wait checks the flag at each poll (1 ms) or pause slice, and no message box is raised after
// it, so the worker ends within the longest uninterruptible step (under 0.2 s) unless the observer
// itself blocks it. The destructor cancels and joins, so a front end may destroy the Command while
// a worker runs (for example when its window closes); a front end whose message box may be open at
// that moment must make its problem() return. The observer and the clock must outlive the Command.
class Command {
  public:
    Command(const std::string& portName, std::int32_t baudRate, RunObserver& observer,
            Clock& clock = systemClock());
    ~Command();
    Command(const Command&) = delete;
    Command& operator=(const Command&) = delete;

    std::string fileName;                  // firmware image file; read when a worker starts
    std::atomic<bool> threadActive{false}; // a connect-and-download (or connect-and-operate) worker runs
    std::atomic<bool> connected{false};    // a connect got the handshake Ack; never cleared
    // False from a call of connect() or connectAndDownload() until a connect-and-download worker ends.
    std::atomic<bool> connectionDone{true};

    // How the last operation ended; `none` while it runs. Set by the starter when the port does not
    // open, otherwise by the worker as it ends.
    std::atomic<Outcome> outcome{Outcome::none};
    // Set before download() or connectAndDownload(): compare the whole image on the same link after
    // the last chunk, and send Finish only when it is equal.
    bool verifyBeforeFinish = false;
    // Why the last open failed (the speed switch's or a starter's), for front ends that say more than
    // the message box.
    PortError openError() const { return lastOpenError; }
    int openSystemError() const { return lastOpenSystemError; }
    const std::string& openErrorDetail() const { return openFailureDetail; } // for a box's detail
    const std::string& openErrorBrief() const { return openFailureBrief; }   // for a result line

    // The image the next worker sends, already read and checked by the caller; without one the worker
    // reads `fileName` itself.
    void useImage(std::shared_ptr<const FileCopy> image) { preloaded = std::move(image); }
    // Another stop request to honour besides cancel(), e.g. one shared by several devices' runs. It must
    // outlive the Command.
    void alsoStopOn(const std::atomic<bool>& flag) { sharedStop = &flag; }
    // A stop that holds only until the erase goes out: a run stopped before it leaves the device with
    // the firmware it had; one past it runs to its end. It must outlive the Command.
    void alsoStopBeforeTheEraseOn(const std::atomic<bool>& flag) { stopBeforeErase = &flag; }
    bool stopRequested() const;
    // Every byte and frame on the ports this Command opens from now on, for a trace.
    void traceTo(TraceHook hook) { traceHook = std::move(hook); }

    void changeComPort(const std::string& name);
    void changeBaudRate2(std::int32_t baud);
    // The two-stage speed switch; runs on the caller's thread for about a second. True when both stages
    // opened the port and sent their speed command. Afterwards the speed is 115200 and no link is open.
    // Refused (false, nothing changed) while a worker runs: the worker holds the port. A stage whose
    // port does not open leaves its cause in openError().
    bool changeBaudRate();
    // Speed commands the last speed switch sent: 0, 1 or 2.
    int speedCommandsSent() const { return speedCommands; }

    // Starters: each opens the link (eraseAll() keeps one left open by an earlier connect() or
    // eraseAll()) and starts its worker, or tells the observer when the port cannot be opened. They
    // return at once.
    void connect();
    void download();
    void connectAndDownload();
    void verify();
    void eraseAll();
    // Connect, then the operation on the same link: the device leaves its update mode when the link
    // closes on some drivers, so the operation never reopens it. The whole run: its end is told
    // (RunObserver::ended), as for connectAndDownload().
    void connectAnd(Operation operation);

    bool busy() const { return running.load() || threadActive.load(); } // a worker runs
    void cancel() { cancelRequested = true; }
    void resetCancel() { cancelRequested = false; } // a new request begins
    void waitForWorker();                           // returns once the worker started last has ended

    // What the device acknowledged and how long each phase took, in the run under way or the last one.
    RunReport report() const { return progress.report(); }

    // The port did not open, with the last open failure's cause; `during` names the starter.
    void reportOpenFailure(const char* during);
    RunObserver& reportsTo() { return observer; }

    const std::string& portName() const { return comPort; }
    std::int32_t baudRate() const { return BaudRate; }

  private:
    bool openCom();
    bool closeCom();
    std::unique_ptr<Protocole> newLink();
    void noteOpenFailure(const Protocole& failed);

    void start(std::function<void()> body, const char* caption, bool keepOpenLink);

    // The image of this run: the one handed over by useImage(), or `fileName` read now into `storage`.
    // Null when the file cannot be sent, after the file box if `reportProblem`.
    const FileCopy* runImage(Session& session, FileCopy& storage, bool reportProblem);

    Session workerSession(); // on the open link, stopped by any of the stop requests

    void ThreadConnect();
    void ThreadEraseAll();
    bool ThreadDownload();
    void finishRun(Outcome result); // records the outcome; a failure of a stopped run is `cancelled`
    void ThreadConnectAndDownload();
    void ThreadConnectAnd(Operation operation);
    void ThreadVerify();

    std::string comPort;
    std::int32_t BaudRate;
    std::unique_ptr<Protocole> protocole;
    RunObserver& observer;
    Clock& clock;

    std::atomic<bool> running{false}; // a worker runs, whichever starter began it
    std::atomic<bool> cancelRequested{false};
    const std::atomic<bool>* sharedStop = nullptr;
    const std::atomic<bool>* stopBeforeErase = nullptr;
    TraceHook traceHook;
    std::string runFileName; // fileName as it was when the worker started
    std::shared_ptr<const FileCopy> preloaded;
    std::shared_ptr<const FileCopy> runPreloaded; // preloaded as it was when the worker started
    RunProgress progress;
    std::string openFailureDetail; // why the last open failed
    std::string openFailureBrief;
    PortError lastOpenError = PortError::none;
    int lastOpenSystemError = 0;
    int speedCommands = 0;
    std::thread trd;
};

} // namespace vtc880

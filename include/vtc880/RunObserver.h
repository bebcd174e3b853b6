#pragma once

#include "vtc880/Operation.h"
#include "vtc880/Outcome.h"
#include "vtc880/Phase.h"

#include <cstdint>
#include <string>

namespace vtc880 {

// How far the phase under way has got, in the unit of the whole phase: for the erase milliseconds of
// the time the device announced, for programming and verify bytes of the whole image. Programming
// and verify go block by block: the first event of a phase has no block yet (`block` -1), the first
// of a block has none of its bytes done.
struct PhaseProgress {
    Phase phase = Phase::erase;
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    int block = -1; // the image block being sent, from 0; -1 when the phase sends none
    int blocks = 0;
    std::uint64_t blockDone = 0; // bytes of that block the device has answered
    std::uint64_t blockSize = 0;
};

// A step of the run worth a line in words: the status line the window shows.
enum class RunStep {
    starting,          // a run begins: the image is read, then the port
    connecting,        // the device is asked for its update mode, or (verify) for a handshake
    connected,         // it answered
    disconnected,      // it did not: the run ends
    handshaking,       // before the erase
    timedOut,          // no answer in time
    askingEraseTime,   // how long the erase will take
    erasing,           // the erase went out; it takes `eraseMs`
    erased,            // the device confirmed it
    eraseFailed,       // it refused, or did not answer in time
    blockProgrammed,   // every chunk of a block was acknowledged
    programmingFailed, // a chunk was refused or not answered
    blockVerified,     // every chunk of a block compared equal
    verifyFailed,      // one did not
};

struct RunLog {
    RunStep step = RunStep::starting;
    std::int32_t eraseMs = 0; // erasing: the time the device announced, as the wait uses it
};

// The words of a step: "Connecting to VTC880 ...", "Erasing (2.5 seconds) ...".
std::string runLogText(const RunLog& log);

// A failure a person must be told of at once: the window's error boxes.
struct RunProblem {
    enum class Kind {
        portNotOpened,   // `port` did not open: `detail` says why and what to do
        noWorker,        // the system refused the worker thread: `detail` says what it said
        imageUnreadable, // the image cannot be sent: `detail` is its full path and what is wrong
        connectionError, // the device did not answer the update-mode handshake
        updateFailed,    // the erase (`phase` erase) or a chunk (`phase` programming) failed
    };
    Kind kind = Kind::connectionError;
    Phase phase = Phase::updateMode;
    std::string port;
    std::string during; // what was starting when a port or thread failed: "connect", "verify", ...
    std::string detail; // the cause; once the device's firmware was touched, what it now holds
};

// What a run tells as it goes: its phases, progress within each, its steps in words, the failures a
// person must hear of, and its end. The speed switch reports on the thread that starts the run, the
// rest on the run's worker; an observer that owns widgets hops to its own thread. problem() may
// block until the person has seen it (a message box); everything else returns at once.
class RunObserver {
  public:
    virtual ~RunObserver() = default;
    virtual void phase(Phase phase) { (void)phase; }
    virtual void phaseEnded(Phase phase) { (void)phase; }
    virtual void progress(const PhaseProgress& progress) { (void)progress; }
    virtual void log(const RunLog& log) { (void)log; }
    virtual void problem(const RunProblem& problem) { (void)problem; }
    // A whole run has ended: once per run, after everything else it reported.
    virtual void ended(Operation operation, Outcome outcome) {
        (void)operation;
        (void)outcome;
    }
};

} // namespace vtc880

#pragma once

#include <optional>
#include <string_view>

namespace vtc880 {

// How an operation on the device ended, for front ends that must tell failures apart (the window
// shows the texts; a script needs the class).
enum class Outcome {
    none, // nothing has run yet, or the operation still runs
    succeeded,
    portError,         // the port could not be opened
    imageError,        // the firmware image file could not be read
    noAnswer,          // the device did not answer the handshake or the erase-time query
    eraseFailed,       // the erase was refused or not answered in time
    programmingFailed, // a chunk was refused or not answered in time
    verifyFailed,      // the device's memory differs from the image
    interrupted,       // the run was asked to stop
    portLost,          // the port went away during the run (adapter unplugged, line hung up)
    noWorker,          // the system would not start the worker thread
};

// The outcome's name in the JSON events, the records and the Python module ("no_answer"), its words
// for people ("no answer"), and the exit status it stands for.
const char* outcomeName(Outcome outcome);
const char* outcomeText(Outcome outcome);
int exitCodeFor(Outcome outcome);
std::optional<Outcome> outcomeNamed(std::string_view name);

} // namespace vtc880

#pragma once

namespace vtc880 {

// The tool's exit status: 0 only when the whole job succeeded; one code per class of failure so that
// scripts on a production line can tell them apart.
namespace Exit {
constexpr int ok = 0;
constexpr int internal = 1;    // the tool itself could not run the job (the system refused a thread)
constexpr int usage = 2;       // the command line is wrong
constexpr int file = 3;        // image or recipe missing, unreadable, invalid, or result not writable
constexpr int port = 4;        // the port cannot be opened, or went away during the job
constexpr int noAnswer = 5;    // the device does not answer
constexpr int erase = 6;       // the erase failed
constexpr int program = 7;     // programming failed
constexpr int verify = 8;      // the device's memory differs from the image
constexpr int interrupt = 130; // stopped by Ctrl-C or a signal

constexpr const char* help =
    "Exit status: 0 success, 1 could not run, 2 usage, 3 file, 4 port (or port lost),\n"
    "5 no answer, 6 erase failed, 7 programming failed, 8 verify failed, 130 interrupted.";
} // namespace Exit

} // namespace vtc880

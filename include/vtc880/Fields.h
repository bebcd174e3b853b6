#pragma once

#include <string>
#include <vector>

namespace vtc880 {

// The names of the JSON events and of their fields, each spelled once: the event builders and the
// table below take them from here, the README's tables and the records say the same, and a test
// holds them together. Keys are snake_case; values that name something (an outcome, a state, a
// phase) are the vocabulary's names, snake_case too.
namespace field {
inline constexpr char event[] = "event";
inline constexpr char slot[] = "slot";
inline constexpr char port[] = "port";
inline constexpr char devicePath[] = "device_path";
inline constexpr char operation[] = "operation";
inline constexpr char link[] = "link";
inline constexpr char speedSwitch[] = "speed_switch";
inline constexpr char verifyBeforeFinish[] = "verify_before_finish";
inline constexpr char image[] = "image";
inline constexpr char imageVersion[] = "image_version";
inline constexpr char imageBytes[] = "image_bytes";
inline constexpr char imageFileBytes[] = "image_file_bytes";
inline constexpr char imageSha256[] = "image_sha256";
inline constexpr char blocks[] = "blocks";
inline constexpr char block[] = "block";
inline constexpr char phase[] = "phase";
inline constexpr char done[] = "done";
inline constexpr char total[] = "total";
inline constexpr char unit[] = "unit";
inline constexpr char percent[] = "percent";
inline constexpr char bytesPerSecond[] = "bytes_per_second";
inline constexpr char secondsLeft[] = "seconds_left";
inline constexpr char text[] = "text";
inline constexpr char icon[] = "icon";
inline constexpr char caption[] = "caption";
inline constexpr char detail[] = "detail";
inline constexpr char ok[] = "ok";
inline constexpr char outcome[] = "outcome";
inline constexpr char exit[] = "exit";
inline constexpr char state[] = "state";
inline constexpr char bytesProgrammed[] = "bytes_programmed";
inline constexpr char bytesVerified[] = "bytes_verified";
inline constexpr char lastWordAddress[] = "last_word_address";
inline constexpr char eraseUnconfirmed[] = "erase_unconfirmed";
inline constexpr char mismatch[] = "mismatch";
inline constexpr char wordAddress[] = "word_address";
inline constexpr char offset[] = "offset";
inline constexpr char length[] = "length";
inline constexpr char answered[] = "answered";
inline constexpr char seconds[] = "seconds";
inline constexpr char phaseSeconds[] = "phase_seconds";
inline constexpr char usbSerial[] = "usb_serial";
inline constexpr char devices[] = "devices";
inline constexpr char succeeded[] = "succeeded";
inline constexpr char failed[] = "failed";
inline constexpr char interrupted[] = "interrupted";
inline constexpr char outcomes[] = "outcomes";
inline constexpr char slots[] = "slots";
inline constexpr char recordsLost[] = "records_lost";
inline constexpr char problem[] = "problem";
inline constexpr char problems[] = "problems";
inline constexpr char folder[] = "folder";
inline constexpr char polling[] = "polling";
inline constexpr char records[] = "records";
inline constexpr char address[] = "address";
inline constexpr char size[] = "size";
inline constexpr char name[] = "name";
inline constexpr char device[] = "device";
inline constexpr char driver[] = "driver";
inline constexpr char usb[] = "usb";
inline constexpr char byId[] = "by_id";
inline constexpr char mayOpen[] = "may_open";
inline constexpr char latencyTimerMs[] = "latency_timer_ms";
inline constexpr char file[] = "file";
inline constexpr char line[] = "line";
inline constexpr char badLines[] = "bad_lines";
inline constexpr char images[] = "images";
} // namespace field

// The types of the events.
namespace event {
inline constexpr char start[] = "start";
inline constexpr char phase[] = "phase";
inline constexpr char progress[] = "progress";
inline constexpr char status[] = "status";
inline constexpr char message[] = "message";
inline constexpr char result[] = "result";
inline constexpr char summary[] = "summary";
inline constexpr char image[] = "image";
inline constexpr char watching[] = "watching";
inline constexpr char arrival[] = "arrival";
inline constexpr char departure[] = "departure";
inline constexpr char notice[] = "notice";
inline constexpr char port[] = "port";
inline constexpr char problem[] = "problem";
inline constexpr char recordsSummary[] = "records_summary";
} // namespace event

enum class JsonKind { string, integer, number, boolean, object, array };
const char* jsonKindName(JsonKind kind); // "string", "integer", ... as the README's tables say

enum class Presence {
    always,
    sometimes, // only where it applies (the README says when)
    inStation, // in a station's events, and only there
};

struct EventField {
    const char* command; // "" for the events of update, verify and erase, which a station writes too
    const char* event;
    std::string name; // "mismatch.block" for a field of a field
    JsonKind kind;
    Presence presence;
};

// Every field of every event the tool writes, in the order written.
const std::vector<EventField>& eventFields();

} // namespace vtc880

#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace vtc880 {

// JSON as the tool writes it: fields in the order they were set.
using Json = nlohmann::ordered_json;

// One line of JSON without its line end: text as the UTF-8 it is, each invalid byte replaced by
// U+FFFD (never taken for another encoding), a number that is not finite as null.
std::string jsonLine(const Json& value);

// Seconds to the millisecond, as every time in the events and records is given.
double roundedSeconds(double seconds);

} // namespace vtc880

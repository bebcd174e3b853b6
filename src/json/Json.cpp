#include "vtc880/Json.h"

#include <cmath>

namespace vtc880 {

std::string jsonLine(const Json& value) {
    return value.dump(-1, ' ', false, Json::error_handler_t::replace);
}

double roundedSeconds(double seconds) {
    return std::isfinite(seconds) ? std::round(seconds * 1000.0) / 1000.0 : seconds;
}

} // namespace vtc880

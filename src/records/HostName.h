#pragma once

#include <string>

namespace vtc880 {

// This computer's name, for a device record; empty when the system does not say.
std::string hostName();

} // namespace vtc880

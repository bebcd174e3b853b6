#pragma once

namespace vtc880 {

// Where Linux shows its devices and what it knows of them; tests and a simulated production line
// give other folders laid out the same way.
constexpr const char* devRoot = "/dev";
constexpr const char* sysfsRoot = "/sys";

} // namespace vtc880

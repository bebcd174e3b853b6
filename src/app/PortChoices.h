#pragma once

#include <string>
#include <vector>

namespace vtc880 {

// The names the port box offers: COM1 to COM10, then the serial ports found on this machine, then
// the ports named in the environment variable VTC880_PORTS (separated by ':'; a pseudo-terminal such
// as the simulated device's /dev/pts/N is named there, since no search finds it). Each name once.
std::vector<std::string> portChoices();

// The same from given parts (for tests). `extra` is the variable's value, or null when unset.
std::vector<std::string> portChoices(const std::vector<std::string>& discovered, const char* extra);

} // namespace vtc880

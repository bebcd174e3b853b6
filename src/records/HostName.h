#pragma once

#include <string>

// This computer's name, for a device record; empty when the system does not say.
std::string hostName();

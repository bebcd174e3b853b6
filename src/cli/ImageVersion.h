#pragma once

#include "image/FileCopy.h"

#include <cstdint>
#include <string>

// The version block's "major.minor.patch", when the given block is one (4 bytes at its fixed address:
// patch, minor, major, 'V'); empty otherwise.
std::string imageVersion(std::uint32_t address, std::uint32_t size, const std::uint8_t* data);

// The version of the first version block in `image`; empty when it has none.
std::string imageVersion(const FileCopy& image);

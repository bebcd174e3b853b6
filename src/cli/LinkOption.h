#pragma once

#include "vtc880/LinkTable.h"

#include <CLI/CLI.hpp>
#include <string>

namespace vtc880 {

// --link, from the link table: `link` holds the name given (the first link's by default); `devices`
// says what is attached, for the help ("the device", "the devices").
void addLinkOption(CLI::App& command, std::string& link, const std::string& devices);

// The link of a name the option accepted.
const LinkSpec& chosenLink(const std::string& link);

} // namespace vtc880

#pragma once

#include "vtc880/PortInventory.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vtc880 {

// What --port and a station's --slot accept: a port name or path as it stands, or a port chosen by
// what it is: "usb:VID:PID" or "usb:VID:PID:SERIAL" (hexadecimal ids, as `vtc880 ports` shows them),
// or "path:PATTERN", a glob over the names in serial/by-path and serial/by-id (a USB socket keeps its
// by-path name whichever adapter is plugged into it).
struct PortSelector {
    enum class Kind { name, usb, path };
    Kind kind = Kind::name;
    std::string text;      // as given
    std::string vendorId;  // usb: four lower-case hexadecimal digits
    std::string productId; // usb: likewise
    std::optional<std::string> serial;
    std::string pattern; // path:
};

// Reads a selector. Returns nothing, and says why in `problem`, when a usb: or path: selector is
// malformed (a path: glob with a '[' and no ']' included), or the text names a kind of selector there
// is not (a name with a ':' and no '/'); any other text is a port name.
std::optional<PortSelector> parsePortSelector(const std::string& text, std::string& problem);

// Whether the selector picks `port`. A name picks the port it leads to: a name without '/' is looked
// up under `devFolder`, COMn as the system's serial port n.
bool selects(const PortSelector& selector, const Port& port, const std::string& devFolder = devRoot);

// The path a port name selector opens: a name with '/' as it stands, COMn as the system's serial
// port n and any other name, both under `devFolder`. Empty for usb: and path: selectors, and for a
// name that cannot form a path.
std::string namedPath(const PortSelector& selector, const std::string& devFolder = devRoot);

// Whether every port `later` could pick, `earlier` picks too: a slot after it would never take a port.
// Only what can be told from the selectors themselves: a usb: selector and a path: selector never
// cover each other.
bool covers(const PortSelector& earlier, const PortSelector& later, const std::string& devFolder = devRoot);

// Shell-style matching of a whole name: '*' any run, '?' one character, '[abc]', '[a-z]', '[!a]'.
bool globMatch(std::string_view pattern, std::string_view text);

// The one port a usb: or path: selector picks among `ports`, as the path to open; a name is returned
// as it stands. When none or several match, returns nothing and `problem` names what was found.
std::optional<std::string> resolvePort(const std::string& text, const std::vector<Port>& ports,
                                       std::string& problem);

// The ports of a command line's --port options, each resolved as resolvePort() does (the system's
// ports are looked up once, and only when a selector needs them). Returns nothing, and says why in
// `problem`, when one resolves to no port or to several, or two name the same port.
std::optional<std::vector<std::string>> resolvePorts(const std::vector<std::string>& texts,
                                                     std::string& problem);

} // namespace vtc880

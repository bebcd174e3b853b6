#include "vtc880/PortSelector.h"

#include "vtc880/PortName.h"
#include "vtc880/Utf8.h"

#include <algorithm>
#include <bitset>
#include <cctype>
#include <filesystem>
#include <system_error>

namespace vtc880 {

namespace fs = std::filesystem;

namespace {

bool startsWith(const std::string& text, std::string_view prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// A USB id as the system writes it: up to four hexadecimal digits, kept as four lower-case ones.
std::optional<std::string> usbId(std::string_view text) {
    if (text.empty() || text.size() > 4) {
        return std::nullopt;
    }
    std::string id(4 - text.size(), '0');
    for (const char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        id += asciiLower(c);
    }
    return id;
}

bool sameId(const std::string& selector, const std::string& system) {
    const std::optional<std::string> id = usbId(system);
    return id && *id == selector;
}

std::string nameOf(const std::string& path) {
    return fs::path(path).filename().string();
}

using CharSet = std::bitset<256>;

// One set of brackets at `p` ('[' already seen at pattern[p - 1]): the characters it takes, and where
// the pattern goes on. Nothing when the '[' has no ']'.
std::optional<std::pair<CharSet, std::size_t>> bracket(std::string_view pattern, std::size_t p) {
    std::size_t i = p;
    bool negate = false;
    if (i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^')) {
        negate = true;
        ++i;
    }
    CharSet in;
    bool first = true;
    while (i < pattern.size() && (first || pattern[i] != ']')) {
        first = false;
        const auto low = static_cast<unsigned char>(pattern[i]);
        if (i + 2 < pattern.size() && pattern[i + 1] == '-' && pattern[i + 2] != ']') {
            const auto high = static_cast<unsigned char>(pattern[i + 2]);
            for (unsigned c = low; c <= high; ++c) {
                in.set(c);
            }
            i += 3;
        } else {
            in.set(low);
            ++i;
        }
    }
    if (i >= pattern.size()) {
        return std::nullopt;
    }
    if (negate) {
        in.flip();
    }
    return std::pair{in, i + 1};
}

// A glob as a row of tokens: a star, or one character of a set ('?' is the set of all, a plain
// character a set of one, an unclosed '[' itself).
struct GlobToken {
    bool star = false;
    CharSet chars;
};

std::vector<GlobToken> globTokens(std::string_view pattern) {
    std::vector<GlobToken> tokens;
    for (std::size_t p = 0; p < pattern.size();) {
        GlobToken token;
        if (pattern[p] == '*') {
            token.star = true;
            ++p;
        } else if (pattern[p] == '?') {
            token.chars.set();
            ++p;
        } else if (const auto set = pattern[p] == '[' ? bracket(pattern, p + 1) : std::nullopt) {
            token.chars = set->first;
            p = set->second;
        } else {
            token.chars.set(static_cast<unsigned char>(pattern[p]));
            ++p;
        }
        tokens.push_back(token);
    }
    return tokens;
}

// Whether every name `inner` matches, `outer` matches too: outer's tokens match inner's as they would
// match characters (a star any run of tokens, a set a set it holds). Sure when it says yes; a pair
// too long to compare quickly is taken as not covered.
bool globCovers(std::string_view outer, std::string_view inner) {
    const std::vector<GlobToken> o = globTokens(outer);
    const std::vector<GlobToken> in = globTokens(inner);
    if ((o.size() + 1) * (in.size() + 1) > 1000000) {
        return false;
    }
    // covered[j]: outer's first i tokens cover inner's first j, row by row.
    std::vector<bool> covered(in.size() + 1, false);
    covered[0] = true;
    for (const GlobToken& token : o) {
        std::vector<bool> next(in.size() + 1, false);
        for (std::size_t j = 0; j <= in.size(); ++j) {
            if (token.star) {
                next[j] = covered[j] || (j > 0 && next[j - 1]);
            } else {
                next[j] =
                    j > 0 && covered[j - 1] && !in[j - 1].star && (in[j - 1].chars & ~token.chars).none();
            }
        }
        covered = std::move(next);
    }
    return covered[in.size()];
}

// The device a port name leads to, links resolved where they lead somewhere, to tell two names apart.
std::string deviceNamed(const std::string& path) {
    std::error_code ec;
    const fs::path device = fs::canonical(path, ec);
    return ec ? fs::path(path).lexically_normal().string() : device.string();
}

} // namespace

bool globMatch(std::string_view pattern, std::string_view text) {
    // Iterative, with one point to go back to: the last '*' seen. Linear in practice, never recursive.
    std::size_t p = 0;
    std::size_t t = 0;
    std::optional<std::size_t> starP;
    std::size_t starT = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            starP = ++p;
            starT = t;
            continue;
        }
        if (p < pattern.size()) {
            if (pattern[p] == '?') {
                ++p;
                ++t;
                continue;
            }
            if (pattern[p] == '[') {
                if (const auto set = bracket(pattern, p + 1)) {
                    if (set->first.test(static_cast<unsigned char>(text[t]))) {
                        p = set->second;
                        ++t;
                        continue;
                    }
                } else if (text[t] == '[') {
                    ++p;
                    ++t;
                    continue;
                }
            } else if (pattern[p] == text[t]) {
                ++p;
                ++t;
                continue;
            }
        }
        if (!starP) {
            return false;
        }
        p = *starP;
        t = ++starT;
    }
    while (p < pattern.size() && pattern[p] == '*') {
        ++p;
    }
    return p == pattern.size();
}

std::optional<PortSelector> parsePortSelector(const std::string& text, std::string& problem) {
    problem.clear();
    PortSelector selector;
    selector.text = text;
    if (startsWith(asciiLower(text), "usb:")) {
        selector.kind = PortSelector::Kind::usb;
        const std::string rest = text.substr(4);
        const std::size_t colon = rest.find(':');
        const std::size_t second = colon == std::string::npos ? colon : rest.find(':', colon + 1);
        const std::optional<std::string> vendor = usbId(std::string_view(rest).substr(0, colon));
        const std::optional<std::string> product =
            colon == std::string::npos
                ? std::nullopt
                : usbId(std::string_view(rest).substr(
                      colon + 1, second == std::string::npos ? std::string::npos : second - colon - 1));
        if (!vendor || !product) {
            problem = text + ": expected usb:VID:PID or usb:VID:PID:SERIAL with hexadecimal ids, as "
                             "vtc880 ports shows them (usb:0403:6001)";
            return std::nullopt;
        }
        selector.vendorId = *vendor;
        selector.productId = *product;
        if (second != std::string::npos) {
            selector.serial = rest.substr(second + 1);
            if (selector.serial->empty()) {
                problem = text + ": the serial number after the last ':' is empty";
                return std::nullopt;
            }
        }
        return selector;
    }
    if (startsWith(asciiLower(text), "path:")) {
        selector.kind = PortSelector::Kind::path;
        selector.pattern = text.substr(5);
        if (selector.pattern.empty() || selector.pattern.find('/') != std::string::npos) {
            problem = text + ": expected path:PATTERN, a name or glob under /dev/serial/by-path or "
                             "/dev/serial/by-id (path:*usb-0:1.2:*)";
            return std::nullopt;
        }
        for (std::size_t p = 0; p < selector.pattern.size(); ++p) {
            if (selector.pattern[p] != '[') {
                continue;
            }
            const auto set = bracket(selector.pattern, p + 1);
            if (!set) {
                // It would match only a name with a '[' in it: surely a set whose ']' was forgotten.
                problem = text + ": the '[' has no ']' (a set is written [abc] or [1-3]; a '[' itself "
                                 "is [[])";
                return std::nullopt;
            }
            p = set->second - 1;
        }
        return selector;
    }
    if (text.empty()) {
        problem = "an empty port name";
        return std::nullopt;
    }
    if (text.find('/') == std::string::npos && text.find(':') != std::string::npos) {
        // No port under /dev has a ':' in its name: this is a selector of a kind there is not.
        problem = text + ": '" + text.substr(0, text.find(':') + 1) +
                  "' is no kind of selector: give usb:VID:PID[:SERIAL], path:PATTERN, or a port name "
                  "(COM1, ttyUSB0, or a path)";
        return std::nullopt;
    }
    return selector;
}

bool selects(const PortSelector& selector, const Port& port, const std::string& devFolder) {
    switch (selector.kind) {
    case PortSelector::Kind::usb:
        return sameId(selector.vendorId, port.usb.vendorId) &&
               sameId(selector.productId, port.usb.productId) &&
               (!selector.serial || *selector.serial == port.usb.serial);
    case PortSelector::Kind::path: {
        const auto named = [&](const std::string& link) { return globMatch(selector.pattern, nameOf(link)); };
        return std::any_of(port.byPath.begin(), port.byPath.end(), named) ||
               std::any_of(port.byId.begin(), port.byId.end(), named);
    }
    case PortSelector::Kind::name:
        break;
    }
    const std::string path = namedPath(selector, devFolder);
    if (path.empty()) {
        return false;
    }
    std::error_code ec;
    const fs::path device = fs::canonical(path, ec);
    return !ec && device.string() == port.device;
}

std::string namedPath(const PortSelector& selector, const std::string& devFolder) {
    if (selector.kind != PortSelector::Kind::name) {
        return {};
    }
    const std::string path = devicePathFor(selector.text);
    const std::string system = std::string(devRoot) + "/";
    // COM1 is ttyS0 and a bare name a name under the folder, in /dev or a folder standing for it.
    if (selector.text.find('/') == std::string::npos && devFolder != devRoot &&
        path.compare(0, system.size(), system) == 0) {
        return (fs::path(devFolder) / path.substr(system.size())).string();
    }
    return path;
}

bool covers(const PortSelector& earlier, const PortSelector& later, const std::string& devFolder) {
    if (earlier.kind != later.kind) {
        return false; // which ports a usb: and a path: selector share depends on the ports
    }
    switch (earlier.kind) {
    case PortSelector::Kind::usb:
        return earlier.vendorId == later.vendorId && earlier.productId == later.productId &&
               (!earlier.serial || earlier.serial == later.serial);
    case PortSelector::Kind::path:
        return globCovers(earlier.pattern, later.pattern);
    case PortSelector::Kind::name:
        break;
    }
    const std::string a = namedPath(earlier, devFolder);
    const std::string b = namedPath(later, devFolder);
    return !a.empty() && deviceNamed(a) == deviceNamed(b);
}

std::optional<std::string> resolvePort(const std::string& text, const std::vector<Port>& ports,
                                       std::string& problem) {
    const std::optional<PortSelector> selector = parsePortSelector(text, problem);
    if (!selector) {
        return std::nullopt;
    }
    if (selector->kind == PortSelector::Kind::name) {
        return text;
    }
    std::vector<const Port*> matched;
    for (const Port& port : ports) {
        if (selects(*selector, port)) {
            matched.push_back(&port);
        }
    }
    if (matched.size() == 1) {
        return matched.front()->device;
    }
    problem = text + (matched.empty() ? ": no port matches" : ": more than one port matches; give one");
    const std::vector<const Port*>* listed = &matched;
    std::vector<const Port*> all;
    if (matched.empty()) {
        for (const Port& port : ports) {
            all.push_back(&port);
        }
        listed = &all;
    }
    if (listed->empty()) {
        problem += " (no serial ports found)";
    }
    for (const Port* port : *listed) {
        problem += "\n  " + describePort(*port);
    }
    return std::nullopt;
}

std::optional<std::vector<std::string>> resolvePorts(const std::vector<std::string>& texts,
                                                     std::string& problem) {
    std::optional<std::vector<Port>> ports;
    std::vector<std::string> resolved;
    std::vector<std::string> devices;
    for (const std::string& text : texts) {
        const std::optional<PortSelector> selector = parsePortSelector(text, problem);
        if (!selector) {
            return std::nullopt;
        }
        if (selector->kind != PortSelector::Kind::name && !ports) {
            ports = inventoryPorts();
        }
        const std::optional<std::string> path =
            selector->kind == PortSelector::Kind::name ? text : resolvePort(text, *ports, problem);
        if (!path) {
            return std::nullopt;
        }
        const std::string key = deviceOf(*path);
        if (const auto same = std::find(devices.begin(), devices.end(), key); same != devices.end()) {
            // Two jobs on one port would fight over it: the second would find it busy, held by the tool.
            problem = "'" + text + "' and '" + texts[std::size_t(same - devices.begin())] +
                      "' name the same port (" + key + "): give each port once";
            return std::nullopt;
        }
        devices.push_back(key);
        resolved.push_back(*path);
    }
    return resolved;
}

} // namespace vtc880

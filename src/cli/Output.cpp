#include "cli/Output.h"

#include <cstdio>

void Output::say(const std::string& line) const {
    std::FILE* stream = json_ ? stderr : stdout;
    std::fputs((line + "\n").c_str(), stream);
    std::fflush(stream);
}

void Output::problem(const std::string& line) const {
    std::fputs(("vtc880: " + line + "\n").c_str(), stderr);
    std::fflush(stderr);
}

void Output::event(const JsonObject& object) const {
    if (json_) {
        std::fputs((object.str() + "\n").c_str(), stdout);
        std::fflush(stdout);
    }
}

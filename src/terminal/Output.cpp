#include "terminal/Output.h"

#include "vtc880/Utf8.h"

#include <atomic>
#include <cstdio>

namespace vtc880 {

namespace {

std::atomic<bool> outGone{false};
std::atomic<bool> errGone{false};

void write(std::FILE* stream, const std::string& text) {
    std::atomic<bool>& gone = stream == stdout ? outGone : errGone;
    if (gone) {
        return;
    }
    if (std::fputs(text.c_str(), stream) < 0 || std::fflush(stream) != 0) {
        gone = true;
        std::clearerr(stream);
    }
}

} // namespace

void Output::say(const std::string& line) const {
    write(json_ ? stderr : stdout, printable(line) + "\n");
}

void Output::problem(const std::string& line) const {
    write(stderr, "vtc880: " + printable(line) + "\n");
}

void Output::event(const Json& object) const {
    if (json_) {
        write(stdout, jsonLine(object) + "\n");
    }
}

void Output::draw(const std::string& text) const {
    write(stdout, text);
}

} // namespace vtc880

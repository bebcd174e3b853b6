#include "PseudoTerminal.h"

#include "common/LineIo.h"
#include "sim/PseudoTerminal.h"

#include <filesystem>
#include <stdexcept>

PseudoTerminal::PseudoTerminal() {
    std::string error;
    fd = sim::openPseudoTerminal(path, error);
    if (!fd.valid())
        throw std::runtime_error("cannot set up the pseudo-terminal: " + error);
    if (!sim::setRawLine(fd.get(), 9600))
        throw std::runtime_error("cannot set the pseudo-terminal's line raw");
}

termios PseudoTerminal::lineSettings() const {
    termios t{};
    if (::tcgetattr(fd.get(), &t) != 0)
        throw std::runtime_error("tcgetattr on the master failed");
    return t;
}

void PseudoTerminal::setLineSettings(const termios& settings) {
    if (::tcsetattr(fd.get(), TCSANOW, &settings) != 0)
        throw std::runtime_error("tcsetattr on the master failed");
}

void PseudoTerminal::put(const Bytes& bytes) {
    if (!lineio::writeAll(fd.get(), bytes))
        throw std::runtime_error("write to the master failed");
}

void PseudoTerminal::put(const std::string& text) {
    put(Bytes(text.begin(), text.end()));
}

Bytes PseudoTerminal::take(std::size_t count, std::chrono::milliseconds limit) {
    return lineio::readWithin(fd.get(), limit, count);
}

std::size_t openDescriptorCount() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}

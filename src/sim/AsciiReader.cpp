#include "sim/AsciiReader.h"

#include "sim/LineSpeed.h"
#include "vtc880/DeviceCodes.h"

#include <cstring>

using namespace vtc880;

namespace sim {

namespace {

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

} // namespace

void AsciiReader::reset() {
    line_.clear();
    preambleMatched_ = 0;
    armed_ = false;
    run_ = Received{};
}

std::optional<Received> AsciiReader::flush() {
    if (run_.text.empty())
        return std::nullopt;
    Received done = std::move(run_);
    run_ = Received{};
    return done;
}

bool AsciiReader::lineIsPreambleStart() const {
    // The command without its carriage return.
    const std::string command(Preamble::firmwareUpdate, std::strlen(Preamble::firmwareUpdate) - 1);
    return line_.size() >= command.size() &&
           line_.compare(line_.size() - command.size(), command.size(), command) == 0;
}

std::optional<std::int32_t> AsciiReader::speedCommand() const {
    // <stage digits> "BR" <speed digits> at the end of the line.
    std::size_t end = line_.size();
    std::size_t pos = end;
    while (pos > 0 && isDigit(line_[pos - 1]))
        --pos;
    const std::size_t speedDigits = end - pos;
    if (speedDigits == 0 || speedDigits > 9 || pos < 3 || line_.compare(pos - 2, 2, "BR") != 0 ||
        !isDigit(line_[pos - 3]))
        return std::nullopt;
    const std::int32_t speed = std::int32_t(std::stol(line_.substr(pos)));
    if (!speedConstant(speed))
        return std::nullopt;
    return speed;
}

AsciiReader::Event AsciiReader::feed(std::uint8_t byte, std::chrono::steady_clock::time_point time,
                                     std::int32_t speed) {
    Event event;
    const char c = char(byte);
    if (run_.text.empty()) {
        run_.kind = Received::Kind::ascii;
        run_.time = time;
        run_.speed = speed;
    }
    run_.text.push_back(c);
    run_.byteTimes.push_back(time);
    lastByteTime_ = time;

    const char* enter = Preamble::enterUpdate;
    if (armed_ && c == enter[preambleMatched_]) {
        if (enter[++preambleMatched_] == '\0') {
            event.enterUpdate = true;
            event.run = flush();
            reset();
        }
        return event;
    }
    armed_ = false;
    preambleMatched_ = 0;

    if (c == '\r') {
        event.switchSpeed = speedCommand();
        armed_ = lineIsPreambleStart();
        line_.clear();
        event.run = flush();
        return event;
    }
    line_.push_back(c);
    if (line_.size() > maxLine)
        line_.erase(0, line_.size() - maxLine);
    if (run_.text.size() >= maxRun)
        event.run = flush();
    return event;
}

} // namespace sim

#include "PhaseSinks.h"

#include "ProcessFigures.h"

using namespace vtc880;

namespace {

PhaseSinks::Mark mark() {
    PhaseSinks::Mark m;
    m.writeCalls = threadWriteCalls();
    m.threadCpu = threadCpuSeconds();
    m.processCpu = processCpuSeconds();
    m.at = std::chrono::steady_clock::now();
    return m;
}

bool startsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

} // namespace

void PhaseSinks::setStatusText(const std::string& text) {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(mutex);
    lastStatus = text;
    if (text == "VTC880 Connected") {
        connected = now;
    } else if (startsWith(text, "Erasing (")) {
        eraseStart = now;
    } else if (text == "Firmware erased") {
        erased = now;
    } else if (startsWith(text, "Copying 0ko") && !programStart) {
        programStart = mark();
    } else if (text == "Firmware updated") {
        programEnd = mark();
    }
}

void PhaseSinks::messageBox(const Message& message) {
    std::lock_guard<std::mutex> lock(mutex);
    lastMessage = message.text;
    ended = std::chrono::steady_clock::now();
}

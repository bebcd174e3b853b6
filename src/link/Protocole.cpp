#include "link/Protocole.h"

#include "vtc880/DeviceCodes.h"
#include "vtc880/LittleEndian.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace vtc880 {

Protocole::Protocole(const std::string& portName, std::int32_t baudRate, Clock& clock)
    : RS232(portName, baudRate), clock(clock) {
    purge();
}

Protocole::~Protocole() = default;

void Protocole::purge() {
    RS232::purge();
}

void Protocole::send(std::uint16_t code, std::uint32_t size, const std::uint8_t* payload) {
    if ((size > 0 && payload == nullptr) || size > UINT32_MAX - Frame::sentHeaderSize - Frame::trailerSize)
        return;
    // The whole frame in one write: one system call (and on USB adapters one transfer) per frame.
    std::vector<std::uint8_t> frame(std::size_t(Frame::sentHeaderSize) + size + Frame::trailerSize);
    frame[0] = Frame::start;
    le::put16(&frame[1], code);
    le::put32(&frame[3], size);
    for (std::uint32_t k = 0; k < size; ++k)
        frame[Frame::sentHeaderSize + k] = payload[k];
    frame[Frame::sentHeaderSize + size] = Frame::end;
    std::uint8_t sum = 0;
    for (std::size_t k = 0; k + 1 < frame.size(); ++k)
        sum = std::uint8_t(sum + frame[k]);
    frame.back() = sum;
    std::uint32_t written = 0;
    write(frame.data(), std::uint32_t(frame.size()), &written);
    if (trace) {
        TracedFrame decoded;
        decoded.sent = true;
        decoded.code = code;
        decoded.length = size;
        decoded.chunk =
            (code == Code::ProgramChunk || code == Code::VerifyChunk) && size >= Chunk::bytesOffset;
        if (decoded.chunk) {
            decoded.address = le::get32(payload + Chunk::addressOffset);
            decoded.count = le::get32(payload + Chunk::countOffset);
        }
        traced(true, frame.data(), written, &decoded);
    }
}

void Protocole::traced(bool sent, const std::uint8_t* bytes, std::size_t size, const TracedFrame* frame) {
    TraceEvent event;
    event.time = clock.now();
    event.speed = baudRate();
    event.sent = sent;
    event.bytes = bytes;
    event.size = size;
    event.frame = frame;
    trace(event);
}

void Protocole::extract(std::chrono::milliseconds wait) {
    const auto ms = std::uint32_t(std::max<std::chrono::milliseconds::rep>(wait.count(), 0));
    if (readTimeOut() != ms)
        timeOut(ms);
    // A line that never falls quiet (noise, a device talking at another speed) must not hold a caller
    // whose limits count polls. A frame cut at the poll's end goes on in the next poll, since the
    // parser keeps its place.
    const auto end = clock.now() + 2 * wait;
    // What this poll read, for a trace: handed over at the poll's end, or as a frame ends in it.
    std::vector<std::uint8_t> seen;
    std::uint32_t got;
    do {
        std::uint8_t byte = 0;
        got = 0;
        if (read(&byte, 1, &got) == 0)
            break; // the port did not open, or has gone
        if (got == 0)
            break;
        const std::uint8_t before = state;
        parse(byte);
        if (trace) {
            seen.push_back(byte);
            // A frame ends where the parser goes back to hunting from its end or checksum state.
            if (state == 0 && (before == 4 || before == 5)) {
                TracedFrame decoded;
                decoded.code = command;
                decoded.length = dataSize;
                decoded.valid = commandReady;
                traced(false, seen.data(), seen.size(), &decoded);
                seen.clear();
            }
        }
    } while (!commandReady && clock.now() < end);
    if (trace && !seen.empty())
        traced(false, seen.data(), seen.size(), nullptr);
}

void Protocole::parse(std::uint8_t byte) {
    switch (state) {
    case 0:
        if (byte == Frame::start) {
            chk = byte;
            state = 1;
        }
        break;
    case 1:
        command = byte;
        chk = std::uint8_t(chk + byte);
        i = 0;
        dataSize = 0;
        state = 2;
        break;
    case 2:
        dataSize += std::uint32_t(byte) << (8 * i);
        ++i;
        chk = std::uint8_t(chk + byte);
        if (i == 4) {
            i = 0;
            state = dataSize > 0 ? 3 : 4;
        }
        break;
    case 3:
        // A frame longer than the buffer is read to its end but only its head is kept; it is
        // refused at its checksum.
        if (i < Frame::receiveCapacity)
            data[i] = byte;
        ++i;
        chk = std::uint8_t(chk + byte);
        if (i == dataSize)
            state = 4;
        break;
    case 4:
        if (byte == Frame::end) {
            chk = std::uint8_t(chk + byte);
            state = 5;
        } else {
            commandReady = false;
            state = 0;
        }
        break;
    case 5:
        commandReady = byte == chk && dataSize <= Frame::receiveCapacity;
        state = 0;
        break;
    default:
        commandReady = false;
        state = 0;
        break;
    }
}

void Protocole::paced(const char* text, int pauseMs) {
    for (const char* c = text; *c != '\0'; ++c) {
        if (stopPacing && stopPacing())
            return;
        std::uint32_t written = 0;
        write(c, 1, &written);
        if (trace)
            traced(true, reinterpret_cast<const std::uint8_t*>(c), written, nullptr);
        clock.sleepMs(pauseMs);
    }
}

void Protocole::sendDownload() {
    paced(Preamble::firmwareUpdate, Preamble::charPauseMs);
    paced(Preamble::enterUpdate, Preamble::charPauseMs);
}

void Protocole::changeBaudRate(int a, int b) {
    // Sized to the text, so any pair of ints fits; the whole command goes out.
    const int length = std::snprintf(nullptr, 0, Preamble::speedFormat, a, b);
    if (length <= 0)
        return;
    std::string text(std::size_t(length) + 1, '\0');
    std::snprintf(text.data(), text.size(), Preamble::speedFormat, a, b);
    paced(text.c_str(), Preamble::speedCharPauseMs);
}

} // namespace vtc880

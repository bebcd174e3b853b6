#include "ByteWiseLink.h"

#include "link/DeviceCodes.h"
#include "link/LittleEndian.h"

#include <vector>

using namespace vtc880;

void ByteWiseLink::send(std::uint16_t code, std::uint32_t size, const std::uint8_t* data) {
    std::vector<std::uint8_t> frame(Frame::sentHeaderSize);
    frame[0] = Frame::start;
    le::put16(&frame[1], code);
    le::put32(&frame[3], size);
    frame.insert(frame.end(), data, data + size);
    frame.push_back(Frame::end);
    std::uint8_t sum = 0;
    for (const std::uint8_t b : frame) {
        sum = std::uint8_t(sum + b);
    }
    frame.push_back(sum);
    for (const std::uint8_t b : frame) {
        std::uint32_t written = 0;
        write(&b, 1, &written);
    }
}

void ByteWiseLink::extract(std::chrono::milliseconds wait) {
    Protocole::extract(wait);
    clock.sleepMs(1);
}

#include "sim/ReplyFrame.h"

#include "vtc880/DeviceCodes.h"
#include "vtc880/LittleEndian.h"

using namespace vtc880;

namespace sim {

std::vector<std::uint8_t> replyFrame(std::uint8_t command, const std::vector<std::uint8_t>& data) {
    std::vector<std::uint8_t> frame;
    frame.reserve(Frame::receivedHeaderSize + data.size() + Frame::trailerSize);
    frame.push_back(Frame::start);
    frame.push_back(command);
    std::uint8_t length[4];
    le::put32(length, std::uint32_t(data.size()));
    frame.insert(frame.end(), length, length + 4);
    for (const std::uint8_t byte : data)
        frame.push_back(byte);
    frame.push_back(Frame::end);
    frame.push_back(0);
    resealReply(frame);
    return frame;
}

void resealReply(std::vector<std::uint8_t>& frame) {
    if (frame.empty())
        return;
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i + 1 < frame.size(); ++i)
        sum += frame[i];
    frame.back() = sum;
}

} // namespace sim

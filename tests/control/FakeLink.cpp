#include "FakeLink.h"

#include "vtc880/DeviceCodes.h"
#include "vtc880/LittleEndian.h"

#include <algorithm>
#include <cstdio>

using namespace vtc880;

Poll silence() {
    return Poll{};
}

Poll quickPoll() {
    return Poll{Poll::quick, 0, {}};
}

Poll deadLine() {
    return Poll{Poll::dead, 0, {}};
}

Poll reply(std::uint8_t command, std::vector<std::uint8_t> data) {
    return Poll{Poll::frame, command, std::move(data)};
}

Poll corruptReply(std::uint8_t command) {
    return Poll{Poll::corrupt, command, {}};
}

std::vector<Poll> after(int silentPolls, Poll last) {
    std::vector<Poll> polls(std::size_t(silentPolls), silence());
    polls.push_back(std::move(last));
    return polls;
}

std::vector<std::uint8_t> le32(std::uint32_t value) {
    std::vector<std::uint8_t> bytes(4);
    le::put32(bytes.data(), value);
    return bytes;
}

std::uint32_t SentFrame::chunkAddress() const {
    return data.size() >= 8 ? le::get32(data.data()) : 0;
}

std::uint32_t SentFrame::chunkCount() const {
    return data.size() >= 8 ? le::get32(data.data() + 4) : 0;
}

void FakeLink::send(std::uint16_t code, std::uint32_t size, const std::uint8_t* data) {
    SentFrame frame{code, data ? std::vector<std::uint8_t>(data, data + size) : std::vector<std::uint8_t>()};
    char name[16];
    std::snprintf(name, sizeof name, "send:%04x", code);
    events.push_back(name);
    sent.push_back(frame);
    pollsSinceSend = 0;
    pending.clear();
    if (device) {
        for (Poll& p : device(frame)) {
            pending.push_back(std::move(p));
        }
    }
}

void FakeLink::extract(std::chrono::milliseconds wait) {
    ++polls;
    ++pollsSinceSend;
    waits.push_back(wait);
    if (gone) {
        return;
    }
    if (pending.empty()) {
        clock.advance(wait);
        return;
    }
    Poll p = std::move(pending.front());
    pending.pop_front();
    switch (p.kind) {
    case Poll::nothing:
        clock.advance(wait);
        break;
    case Poll::frame:
        command = p.command;
        dataSize = std::uint32_t(p.data.size());
        std::copy(p.data.begin(),
                  p.data.begin() + std::min<std::size_t>(p.data.size(), Frame::receiveCapacity), data.get());
        commandReady = true;
        break;
    case Poll::corrupt:
        command = p.command;
        commandReady = false;
        clock.advance(wait);
        break;
    case Poll::quick:
        break;
    case Poll::dead:
        gone = true;
        break;
    }
}

std::vector<std::uint16_t> FakeLink::codes() const {
    std::vector<std::uint16_t> all;
    for (const SentFrame& f : sent) {
        all.push_back(f.code);
    }
    return all;
}

int FakeLink::count(std::uint16_t code) const {
    int n = 0;
    for (const SentFrame& f : sent) {
        n += f.code == code;
    }
    return n;
}

std::vector<Poll> FakeDevice::answer(const SentFrame& frame) {
    const int nth = seen[frame.code]++;
    if (script) {
        if (auto scripted = script(frame, nth)) {
            return *scripted;
        }
    }
    switch (frame.code) {
    case Code::Handshake:
        return {reply(Reply::Ack)};
    case Code::EraseTimeQuery:
        return {reply(Reply::Ack, le32(std::uint32_t(eraseTimeMs)))};
    case Code::EraseAll:
        memory.clear();
        return after(eraseSilentPolls, reply(Reply::Ack));
    case Code::ProgramChunk:
    case Code::VerifyChunk: {
        const std::uint32_t base = frame.chunkAddress() * 2;
        bool equal = true;
        for (std::uint32_t k = 0; k < frame.chunkCount() && 8 + k < frame.data.size(); ++k) {
            if (frame.code == Code::ProgramChunk) {
                memory[base + k] = frame.data[8 + k];
            } else {
                auto it = memory.find(base + k);
                equal = equal && it != memory.end() && it->second == frame.data[8 + k];
            }
        }
        return {reply(equal ? Reply::Ack : Reply::ErrorReply)};
    }
    default:
        return {};
    }
}

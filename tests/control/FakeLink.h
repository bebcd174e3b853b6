#pragma once

#include "FakeClock.h"
#include "link/Link.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

using namespace vtc880;

// What one poll (one extract()) brings.
struct Poll {
    // quick: back at once with nothing read (noise, a read cut short); dead: the line has gone
    enum Kind { nothing, frame, corrupt, quick, dead } kind = nothing;
    std::uint8_t command = 0;
    std::vector<std::uint8_t> data;
};
Poll silence();
Poll quickPoll(); // a poll back at once with nothing
Poll deadLine();  // a poll on a line that has gone (unplugged): it fails at once, and so do all after it
Poll reply(std::uint8_t command, std::vector<std::uint8_t> data = {});
Poll corruptReply(std::uint8_t command); // command byte in, then a wrong checksum
std::vector<Poll> after(int silentPolls, Poll last);

struct SentFrame {
    std::uint16_t code = 0;
    std::vector<std::uint8_t> data;
    std::uint32_t chunkAddress() const;
    std::uint32_t chunkCount() const;
};

// A link whose polls are scripted: after each frame sent, `device` says what the following polls
// bring (a poll beyond the script brings nothing). A poll that brings nothing costs its wait on the
// fake clock. A dead poll marks the line lost, as a failed read does.
class FakeLink : public Link {
  public:
    explicit FakeLink(FakeClock& clock) : clock(clock) {}

    std::function<std::vector<Poll>(const SentFrame&)> device;

    void purge() override { events.push_back("purge"); }
    void send(std::uint16_t code, std::uint32_t size, const std::uint8_t* data) override;
    void extract(std::chrono::milliseconds wait = pollWait(PollWait::chunk)) override;
    void sendDownload() override { events.push_back("preamble"); }
    bool lost() const override { return gone; }

    std::vector<SentFrame> sent;
    std::vector<std::string> events; // "purge", "preamble", "send:<code hex>"
    int polls = 0;                   // extract() calls in all
    int pollsSinceSend = 0;
    std::vector<std::chrono::milliseconds> waits; // of every poll, in order
    std::vector<std::uint16_t> codes() const;
    int count(std::uint16_t code) const;

  private:
    FakeClock& clock;
    std::deque<Poll> pending;
    bool gone = false;
};

// A well-behaved device: Ack to everything, the erase time it announces, memory that ProgramChunk
// writes and VerifyChunk compares. `script` is asked first and may answer a frame otherwise; `nth`
// counts the frames of that code from 0.
class FakeDevice {
  public:
    std::vector<Poll> answer(const SentFrame& frame);
    void attach(FakeLink& link) {
        link.device = [this](const SentFrame& f) { return answer(f); };
    }

    std::int32_t eraseTimeMs = 900;
    int eraseSilentPolls = 3; // polls the erase takes before its reply
    std::function<std::optional<std::vector<Poll>>(const SentFrame&, int nth)> script;
    std::map<std::uint32_t, std::uint8_t> memory; // by byte address (word address × 2)

  private:
    std::map<std::uint16_t, int> seen;
};

std::vector<std::uint8_t> le32(std::uint32_t value);

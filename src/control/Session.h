#pragma once

#include "control/Link.h"
#include "control/Sinks.h"
#include "link/Clock.h"

#include <atomic>
#include <cstdint>
#include <string>

// What one worker run works with: the open link, where it reports, the time source, and the flag
// that asks it to stop. Every wait of a worker checks the flag at each poll or pause slice, so a run
// ends within one poll once it is set.
class Session {
  public:
    Session(Link& link, Sinks& sinks, Clock& clock, const std::atomic<bool>& cancel);
    Session(Link& link, Sinks& sinks, Clock& clock); // never cancelled

    Link& link;
    Sinks& sinks;
    Clock& clock;

    bool cancelled() const { return cancel.load(); }

    // A pause that ends early once the run is cancelled.
    void pause(int milliseconds);
    // A message box, unless the run is cancelled: then nobody is left to dismiss it.
    void message(const std::string& text, const std::string& caption, MessageIcon icon);

  private:
    const std::atomic<bool>& cancel;
};

// Lengthens each poll's wait for the handshake and the erase-time query (see
// Limits::replyPollTimeoutMs), and sets it back to the link's usual 1 ms when the wait is over.
class ReplyPolls {
  public:
    explicit ReplyPolls(Link& link);
    ~ReplyPolls();
    ReplyPolls(const ReplyPolls&) = delete;
    ReplyPolls& operator=(const ReplyPolls&) = delete;

  private:
    Link& link;
};

// Progress values are 32-bit; larger counts show as full.
std::int32_t toProgress(std::uint64_t value);

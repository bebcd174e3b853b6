#pragma once

#include "control/Phase.h"

#include <cstdint>
#include <string>

namespace vtc880 {

enum class MessageIcon { error, information };

struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::error;
    std::string detail; // the cause and what to do about it, when known
};

// How far the phase under way has got, in the unit of the whole phase: for the erase milliseconds of
// the time the device announced, for programming and verify bytes of the whole image.
struct PhaseProgress {
    Phase phase = Phase::erase;
    std::uint64_t done = 0;
    std::uint64_t total = 0;
    int block = -1; // the image block being sent, from 0; -1 when the phase sends none
    int blocks = 0;
};

// Where the update reports to: the window, the command-line tool, or a test. Called from the worker
// thread; an implementation that owns widgets hops to its own thread.
class Sinks {
  public:
    virtual ~Sinks() = default;
    virtual void setStatusText(const std::string& text) = 0;
    virtual void showStatus() = 0; // make the status line visible
    virtual void setProgressMaximum(std::int32_t maximum) = 0;
    virtual void setProgressValue(std::int32_t value) = 0;
    virtual void setTitle(const std::string& title) = 0;
    virtual void repaint() = 0;
    // Returns once the user has dismissed the box.
    virtual void messageBox(const Message& message) = 0;
    virtual void exitApplication() = 0;
    // The run has moved on to `phase`. For front ends that show phases rather than the status texts;
    // the window has no use for it.
    virtual void enterPhase(Phase phase) { (void)phase; }
    // The phase under way has moved on (the window follows the status texts and the progress bar).
    virtual void phaseProgress(const PhaseProgress& progress) { (void)progress; }
};

} // namespace vtc880

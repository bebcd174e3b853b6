#pragma once

#include "control/Phase.h"

#include <cstdint>
#include <string>

enum class MessageIcon { error, information };

struct Message {
    std::string text;
    std::string caption;
    MessageIcon icon = MessageIcon::error;
    std::string detail; // the cause and what to do about it, when known
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
};

#pragma once

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

// The window's controls as an update drives them: the status box, the progress bar, the title, the
// message boxes and the end of the program. WidgetReport turns a run's events into these calls;
// the window implements them with its widgets, tests record them. Called from the run's threads; an
// implementation that owns widgets hops to its own thread.
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
};

} // namespace vtc880

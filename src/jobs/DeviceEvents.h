#pragma once

#include "control/Sinks.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>

namespace vtc880 {

// What one device's update reported, as a value that can travel from its worker to the thread that
// draws. Workers never print: they post events, and the main thread shows them in order.
struct DeviceEvent {
    enum class Kind {
        status,
        statusVisible,
        progressMaximum,
        progressValue,
        title,
        repaint,
        message,
        exit,
        phase,         // the run moved on: `value` is its Phase
        phaseProgress, // the phase under way moved on: `progress`
        done,          // the device's job has ended; its result is with the job
    };
    int device = 0;
    Kind kind = Kind::status;
    std::int64_t value = 0;
    std::string text;
    Message message;
    PhaseProgress progress;
    std::chrono::steady_clock::time_point at = std::chrono::steady_clock::now(); // when it was reported
};

class EventQueue {
  public:
    void push(DeviceEvent event);
    // Waits up to `timeout` for an event; false when none came.
    bool pop(DeviceEvent& event, std::chrono::milliseconds timeout);

  private:
    std::mutex mutex;
    std::condition_variable ready;
    std::deque<DeviceEvent> events;
};

// The sinks of one device: every call becomes an event. Message boxes return at once, since on a
// console nobody is there to dismiss them; the message is shown all the same.
class QueueSinks : public Sinks {
  public:
    QueueSinks(EventQueue& queue, int device) : queue(queue), device(device) {}

    void setStatusText(const std::string& text) override { post(DeviceEvent::Kind::status, 0, text); }
    void showStatus() override { post(DeviceEvent::Kind::statusVisible, 0, {}); }
    void setProgressMaximum(std::int32_t maximum) override {
        post(DeviceEvent::Kind::progressMaximum, maximum, {});
    }
    void setProgressValue(std::int32_t value) override { post(DeviceEvent::Kind::progressValue, value, {}); }
    void setTitle(const std::string& title) override { post(DeviceEvent::Kind::title, 0, title); }
    void repaint() override { post(DeviceEvent::Kind::repaint, 0, {}); }
    void messageBox(const Message& message) override;
    void exitApplication() override { post(DeviceEvent::Kind::exit, 0, {}); }
    void enterPhase(Phase phase) override { post(DeviceEvent::Kind::phase, std::int64_t(phase), {}); }
    void phaseProgress(const PhaseProgress& progress) override;

  private:
    EventQueue& queue;
    int device;
    void post(DeviceEvent::Kind kind, std::int64_t value, const std::string& text);
};

} // namespace vtc880

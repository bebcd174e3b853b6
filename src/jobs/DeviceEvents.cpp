#include "jobs/DeviceEvents.h"

namespace vtc880 {

void EventQueue::push(DeviceEvent event) {
    {
        const std::lock_guard lock(mutex);
        events.push_back(std::move(event));
    }
    ready.notify_one();
}

bool EventQueue::pop(DeviceEvent& event, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex);
    if (!ready.wait_for(lock, timeout, [this] { return !events.empty(); })) {
        return false;
    }
    event = std::move(events.front());
    events.pop_front();
    return true;
}

void QueueSinks::post(DeviceEvent::Kind kind, std::int64_t value, const std::string& text) {
    DeviceEvent event;
    event.device = device;
    event.kind = kind;
    event.value = value;
    event.text = text;
    queue.push(std::move(event));
}

void QueueSinks::messageBox(const Message& message) {
    DeviceEvent event;
    event.device = device;
    event.kind = DeviceEvent::Kind::message;
    event.message = message;
    queue.push(std::move(event));
}

void QueueSinks::phaseProgress(const PhaseProgress& progress) {
    DeviceEvent event;
    event.device = device;
    event.kind = DeviceEvent::Kind::phaseProgress;
    event.progress = progress;
    queue.push(std::move(event));
}

} // namespace vtc880

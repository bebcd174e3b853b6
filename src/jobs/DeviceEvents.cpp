#include "vtc880/DeviceEvents.h"

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

DeviceEvent QueueObserver::event(DeviceEvent::Kind kind) const {
    DeviceEvent made;
    made.device = device;
    made.kind = kind;
    return made;
}

void QueueObserver::phase(Phase phase) {
    DeviceEvent made = event(DeviceEvent::Kind::phase);
    made.phase = phase;
    queue.push(std::move(made));
}

void QueueObserver::phaseEnded(Phase phase) {
    DeviceEvent made = event(DeviceEvent::Kind::phaseEnded);
    made.phase = phase;
    queue.push(std::move(made));
}

void QueueObserver::progress(const PhaseProgress& progress) {
    DeviceEvent made = event(DeviceEvent::Kind::progress);
    made.progress = progress;
    queue.push(std::move(made));
}

void QueueObserver::log(const RunLog& log) {
    DeviceEvent made = event(DeviceEvent::Kind::log);
    made.log = log;
    queue.push(std::move(made));
}

void QueueObserver::problem(const RunProblem& problem) {
    DeviceEvent made = event(DeviceEvent::Kind::problem);
    made.problem = problem;
    queue.push(std::move(made));
}

} // namespace vtc880

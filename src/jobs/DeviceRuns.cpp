#include "vtc880/DeviceRuns.h"

#include "vtc880/DeviceJob.h"
#include "vtc880/ExitStatus.h"
#include "vtc880/JobRecorder.h"
#include "vtc880/PortName.h"
#include "vtc880/ResultText.h"

#include <system_error>

namespace vtc880 {

DeviceRuns::DeviceRuns(std::vector<RunSettings> runs, const JobRecorder* recorder, Clock& clock)
    : runs(std::move(runs)), recorder(recorder), clock(clock), ended(this->runs.size()),
      recordProblems(this->runs.size()) {
    // Every observer exists before the first run starts: a run holds on to its own.
    for (std::size_t i = 0; i < this->runs.size(); ++i) {
        observers.push_back(std::make_unique<QueueObserver>(queue, int(i)));
    }
}

DeviceRuns::~DeviceRuns() {
    stopping = true;
    for (std::thread& thread : threads) {
        if (thread.joinable()) {
            thread.join();
        }
    }
}

void DeviceRuns::start() {
    for (std::size_t i = 0; i < runs.size(); ++i) {
        const auto postEnd = [this, i] {
            DeviceEvent done;
            done.device = int(i);
            done.kind = DeviceEvent::Kind::done;
            queue.push(std::move(done));
        };
        try {
            threads.emplace_back([this, i, postEnd] {
                const auto started = std::chrono::system_clock::now();
                ended[i] = runDevice(runs[i], *observers[i], stopping, clock);
                if (recorder != nullptr) {
                    recordProblems[i] =
                        recorder->write(runs[i], ended[i], started, std::chrono::system_clock::now());
                }
                postEnd();
            });
        } catch (const std::system_error&) {
            ended[i].operation = runs[i].operation;
            ended[i].outcome = Outcome::noWorker;
            ended[i].text = resultText(ended[i], runs[i].operation, devicePathFor(runs[i].port), nullptr);
            postEnd();
        }
    }
}

bool DeviceRuns::pump(Observer& observer, std::chrono::milliseconds wait) {
    if (handedOver == runs.size()) {
        return false;
    }
    DeviceEvent event;
    if (queue.pop(event, wait)) {
        if (event.kind == DeviceEvent::Kind::done) {
            // The run's thread wrote its result before it posted this event.
            const std::size_t i = std::size_t(event.device);
            ++handedOver;
            recordLost = recordLost || !recordProblems[i].empty();
            observer.ended(i, ended[i], recordProblems[i]);
        } else {
            observer.event(event);
        }
    }
    if (handedOver < runs.size()) {
        return true;
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    threads.clear();
    return false;
}

void DeviceRuns::stop() {
    stopping = true;
}

std::size_t DeviceRuns::succeeded() const {
    std::size_t count = 0;
    for (const RunResult& result : ended) {
        count += result.outcome == Outcome::succeeded ? 1 : 0;
    }
    return count;
}

int DeviceRuns::exitStatus() const {
    if (stopping) {
        return Exit::interrupt;
    }
    for (const RunResult& result : ended) {
        if (const int code = exitCodeFor(result.outcome); code != Exit::ok) {
            return code;
        }
    }
    return recordLost ? Exit::file : Exit::ok;
}

} // namespace vtc880

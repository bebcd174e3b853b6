#include "vtc880/Station.h"

#include "station/PortWatcher.h"
#include "station/StationImage.h"
#include "vtc880/DeviceEvents.h"
#include "vtc880/ExitStatus.h"
#include "vtc880/RecordFile.h"
#include "vtc880/ResultText.h"

#include <algorithm>
#include <atomic>
#include <deque>
#include <map>
#include <optional>
#include <sys/stat.h>
#include <system_error>
#include <thread>
#include <utility>

namespace vtc880 {

namespace {

using Steady = std::chrono::steady_clock;

constexpr auto turn = std::chrono::milliseconds(50);
constexpr auto recordRetryEvery = std::chrono::seconds(5);

// What changes when a port disappears and comes back, even between two looks at the folder: the
// device node and each link are made anew (a new inode, or at least a new change time).
std::string instanceOf(const Port& port) {
    std::string key = port.device;
    struct stat status {};
    if (::stat(port.device.c_str(), &status) == 0) {
        key += "|" + std::to_string(status.st_ino) + ":" + std::to_string(status.st_rdev);
    }
    for (const std::vector<std::string>* names : {&port.byId, &port.byPath}) {
        for (const std::string& name : *names) {
            if (::lstat(name.c_str(), &status) == 0) {
                key += "|" + std::to_string(status.st_ino) + ":" + std::to_string(status.st_ctim.tv_sec) +
                       "." + std::to_string(status.st_ctim.tv_nsec);
            }
        }
    }
    return key;
}

} // namespace

StationSlot parseSlot(const std::string& text, std::string& problem) {
    StationSlot slot;
    const std::size_t equals = text.find('=');
    std::string selector = text;
    if (equals != std::string::npos && text.find(':') > equals) {
        slot.name = text.substr(0, equals);
        selector = text.substr(equals + 1);
        if (slot.name.empty()) {
            problem = text + ": the slot's name before '=' is empty";
            return slot;
        }
    }
    const std::size_t second = selector.find('=');
    if (!slot.name.empty() && second != std::string::npos && selector.find_first_of(":/") > second) {
        problem = text + ": a slot has one name: give NAME=SELECTOR";
        return slot;
    }
    const std::optional<PortSelector> parsed = parsePortSelector(selector, problem);
    if (parsed) {
        slot.selector = *parsed;
        if (slot.name.empty()) {
            slot.name = selector;
        }
    } else if (!slot.name.empty()) {
        problem = "slot " + slot.name + ": " + problem;
    }
    return slot;
}

std::vector<StationSlot> parseSlots(const std::vector<std::string>& texts, const std::string& devFolder,
                                    std::string& problem) {
    problem.clear();
    std::vector<StationSlot> slots;
    for (const std::string& text : texts) {
        StationSlot slot = parseSlot(text, problem);
        if (!problem.empty()) {
            return {};
        }
        for (const StationSlot& earlier : slots) {
            if (earlier.name == slot.name) {
                problem = slot.name + ": two slots have this name";
                return {};
            }
            // A port is taken by the first slot that matches it: this one would wait for ever.
            if (covers(earlier.selector, slot.selector, devFolder)) {
                problem = text + ": this slot can never take a port: slot " + earlier.name +
                          (earlier.name == earlier.selector.text ? "" : " (" + earlier.selector.text + ")") +
                          " comes first and takes every port it would";
                return {};
            }
        }
        slots.push_back(std::move(slot));
    }
    return slots;
}

struct Station::State {
    State(StationSettings s, StationReport& r, Clock& c)
        : settings(std::move(s)), report(r), clock(c), image(settings.image), records(settings.record) {
        for (const StationSlot& slot : settings.slots) {
            summary.slots.emplace_back(slot.name, StationSummary::Counts{});
            if (std::string path = namedPath(slot.selector, settings.roots.dev); !path.empty()) {
                namedPorts.push_back(std::move(path)); // COM1 is no port a listing finds
            }
        }
    }

    struct Presence {
        Port port;
        std::size_t slot = 0;
        std::string instance;
        Steady::time_point firstSeen;
    };

    struct Job {
        int id = 0;
        SlotPort where;
        Port port;
        std::string instance;
        RunSettings settings;
        std::shared_ptr<const ImageSnapshot> image;
        std::atomic<bool> stop{false};
        std::unique_ptr<QueueObserver> observer;
        std::thread thread;
        // Written by the job's thread before it posts its end; read after that.
        std::chrono::system_clock::time_point start, end;
        RunResult result;
    };

    StationSettings settings;
    std::vector<std::string> namedPorts; // the paths of the slots that name their port
    StationReport& report;
    Clock& clock;
    StationImage image;
    RecordFile records;
    EventQueue queue;
    std::map<std::string, Presence> present;  // by device
    std::map<std::string, std::string> taken; // device -> the appearance that was updated
    std::map<int, std::unique_ptr<Job>> jobs; // running
    int nextJob = 0;
    int stopRequests = 0;
    std::atomic<bool> stopping{false}; // the first stop request: jobs not yet erasing stop
    std::deque<std::string> unwritten; // records the file did not take yet, oldest first
    Steady::time_point lastRecordTry{};
    bool recordsRefused = false;
    StationSummary summary;

    ~State() {
        for (auto& [id, job] : jobs) {
            job->stop = true;
        }
        for (auto& [id, job] : jobs) {
            if (job->thread.joinable()) {
                job->thread.join();
            }
        }
    }

    bool taking() const { return stopRequests == 0 && image.current() != nullptr && unwritten.empty(); }

    SlotPort where(const Presence& p) const {
        return {p.slot, settings.slots[p.slot].name, p.port.device, p.port.usb.serial};
    }

    void checkImage() {
        const StationImage::Change change = image.refresh();
        if (change == StationImage::Change::usable) {
            report.image(&image.current()->facts, image.path(), {});
        } else if (change == StationImage::Change::refused) {
            report.image(nullptr, image.path(), image.problem());
        }
    }

    // Departures are told before arrivals: a board pulled and the next one plugged in between two
    // looks left first.
    void scan() {
        std::map<std::string, Presence> now;
        std::vector<SlotPort> arrivals;
        for (Port& port : inventoryPorts(settings.roots, namedPorts)) {
            std::optional<std::size_t> slot;
            for (std::size_t i = 0; i < settings.slots.size() && !slot; ++i) {
                if (selects(settings.slots[i].selector, port, settings.roots.dev)) {
                    slot = i;
                }
            }
            if (!slot) {
                continue;
            }
            Presence p;
            p.instance = instanceOf(port);
            p.slot = *slot;
            p.port = std::move(port);
            const auto before = present.find(p.port.device);
            const bool same = before != present.end() && before->second.instance == p.instance;
            p.firstSeen = same ? before->second.firstSeen : Steady::now();
            if (!same) {
                if (before != present.end()) {
                    report.left(where(before->second));
                }
                arrivals.push_back(where(p));
            }
            std::string device = p.port.device;
            now.emplace(std::move(device), std::move(p));
        }
        for (const auto& [device, p] : present) {
            if (now.find(device) == now.end()) {
                report.left(where(p));
            }
        }
        for (const SlotPort& port : arrivals) {
            report.arrived(port);
        }
        present = std::move(now);
        for (auto it = taken.begin(); it != taken.end();) {
            const auto p = present.find(it->first);
            it = p == present.end() || p->second.instance != it->second ? taken.erase(it) : std::next(it);
        }
    }

    // A slot that matches no port yet is fine, but the person at the station should know which.
    void sayWaitingSlots() {
        for (std::size_t i = 0; i < settings.slots.size(); ++i) {
            const bool held = std::any_of(present.begin(), present.end(),
                                          [i](const auto& entry) { return entry.second.slot == i; });
            if (!held) {
                report.notice("slot " + settings.slots[i].name + ": no port matches " +
                              settings.slots[i].selector.text + " yet; waiting for one");
            }
        }
    }

    bool running(const std::string& device) const {
        for (const auto& [id, job] : jobs) {
            if (job->port.device == device) {
                return true;
            }
        }
        return false;
    }

    void startArrivals() {
        const auto now = Steady::now();
        for (const auto& [device, p] : present) {
            if (taken.count(device) > 0 || running(device) || now - p.firstSeen < settings.settle) {
                continue;
            }
            start(p);
        }
    }

    void start(const Presence& p) {
        auto job = std::make_unique<Job>();
        job->id = nextJob++;
        job->where = where(p);
        job->port = p.port;
        job->instance = p.instance;
        job->image = image.current();
        job->settings.operation = Operation::update;
        job->settings.port = p.port.device;
        job->settings.link = settings.link;
        job->settings.speedSwitch = settings.speedSwitch;
        job->settings.verifyBeforeFinish = settings.verify;
        job->settings.imagePath = job->image->file;
        job->settings.image = job->image->image;
        job->settings.stopBeforeErase = &stopping;
        job->observer = std::make_unique<QueueObserver>(queue, job->id);
        taken[p.port.device] = p.instance;
        Job* raw = job.get();
        try {
            job->thread = std::thread([this, raw] {
                raw->start = std::chrono::system_clock::now();
                raw->result = runDevice(raw->settings, *raw->observer, raw->stop, clock);
                raw->end = std::chrono::system_clock::now();
                DeviceEvent done;
                done.device = raw->id;
                done.kind = DeviceEvent::Kind::done;
                queue.push(std::move(done));
            });
        } catch (const std::system_error& e) {
            report.notice(p.port.device + ": cannot start its update (" + std::string(e.what()) +
                          "): unplug it and plug it in again to retry");
            return;
        }
        report.started(job->where, runPlanOf(job->settings));
        jobs.emplace(job->id, std::move(job));
    }

    void tally(std::size_t slot, Outcome outcome) {
        const auto count = [&](StationSummary::Counts& counts) {
            if (outcome == Outcome::succeeded) {
                ++counts.done;
            } else {
                ++counts.failed[outcome];
            }
        };
        count(summary.all);
        count(summary.slots[slot].second);
    }

    void finish(Job& job) {
        job.thread.join();
        const std::string& text = job.result.text;
        tally(job.where.slot, job.result.outcome);
        report.finished(job.where, job.result, text,
                        std::chrono::duration<double>(job.end - job.start).count());
        if (!settings.record.empty()) {
            unwritten.push_back(recordLine(recordOf(job.settings, job.result, job.start, job.end, &job.port,
                                                    &job.image->facts, job.where.slotName)));
            writeRecords(true);
        }
    }

    // Appends the records not written yet, oldest first. While one is refused no device is taken; it
    // is tried again every few seconds, and at once when another job ends.
    void writeRecords(bool now) {
        if (unwritten.empty() || (!now && Steady::now() - lastRecordTry < recordRetryEvery)) {
            return;
        }
        lastRecordTry = Steady::now();
        while (!unwritten.empty()) {
            const std::string problem = records.append(unwritten.front());
            if (!problem.empty()) {
                if (!recordsRefused) {
                    report.notice("a record was not written: " + problem + "; no new devices until it is");
                }
                recordsRefused = true;
                return;
            }
            unwritten.pop_front();
        }
        if (recordsRefused) {
            recordsRefused = false;
            report.notice("the waiting records are written: taking devices again");
        }
    }

    void drainEvents() {
        DeviceEvent event;
        while (queue.pop(event, std::chrono::milliseconds(0))) {
            const auto it = jobs.find(event.device);
            if (it == jobs.end()) {
                continue;
            }
            if (event.kind == DeviceEvent::Kind::done) {
                finish(*it->second);
                jobs.erase(it);
            } else {
                report.progress(it->second->where, event);
            }
        }
    }

    // The first request takes no new device and stops the running updates at their next safe point:
    // one that has not begun its erase stops at once (its device holds the firmware it had), one past
    // it runs to its end, the first point at which its device is known to hold the whole new image.
    // The second stops them all at once.
    void onStop() {
        ++stopRequests;
        if (stopRequests == 1) {
            stopping = true;
            report.notice(jobs.empty() ? "stopping"
                                       : "stopping: no new devices; " + std::to_string(jobs.size()) +
                                             " running update(s) stop before their erase or run to their "
                                             "end (Ctrl-C again stops them now)");
        } else if (stopRequests == 2 && !jobs.empty()) {
            for (auto& [id, job] : jobs) {
                job->stop = true;
            }
            summary.cutShort = true;
            report.notice("stopping the running updates now: their devices may be left without firmware");
        }
    }
};

Station::Station(StationSettings settings, StationReport& report, Clock& clock)
    : state(std::make_unique<State>(std::move(settings), report, clock)) {}

Station::~Station() = default;

int Station::run(const std::function<bool()>& stopRequested) {
    State& s = *state;
    if (s.image.refresh() != StationImage::Change::usable) {
        s.report.image(nullptr, s.image.path(), s.image.problem());
        return Exit::file;
    }
    s.report.image(&s.image.current()->facts, s.image.path(), {});
    if (!s.settings.record.empty()) {
        if (const std::string problem = s.records.check(); !problem.empty()) {
            s.report.notice("cannot write records: " + problem + "; the station stops");
            return Exit::file;
        }
    }
    PortWatcher watcher(s.settings.roots.dev, s.settings.image, s.namedPorts);
    std::vector<std::string> slots;
    for (const StationSlot& slot : s.settings.slots) {
        slots.push_back(slot.name == slot.selector.text ? slot.name
                                                        : slot.name + " (" + slot.selector.text + ")");
    }
    s.report.watching(slots, s.settings.roots.dev, watcher.polling());
    bool firstScan = true;

    for (;;) {
        const PortWatcher::Changes changes = watcher.wait(turn);
        if (changes.image) {
            s.checkImage();
        }
        s.drainEvents();
        s.writeRecords(false);
        if (changes.ports) {
            s.scan();
            if (std::exchange(firstScan, false)) {
                s.sayWaitingSlots();
            }
        }
        if (s.taking()) {
            s.startArrivals();
        }
        if (stopRequested()) {
            s.onStop();
        }
        s.report.tick();
        if (s.stopRequests > 0 && s.jobs.empty()) {
            break;
        }
    }
    s.writeRecords(true);
    s.summary.recordsLost = s.unwritten.size();
    for (const std::string& line : s.unwritten) {
        s.report.notice("a record that could not be written: " + line); // nothing is lost unseen
    }
    // A lost record outweighs a stop: a script must learn that the file does not hold every device.
    s.summary.exit = s.summary.recordsLost > 0 ? Exit::file : s.summary.cutShort ? Exit::interrupt : Exit::ok;
    s.report.summary(s.summary);
    return s.summary.exit;
}

} // namespace vtc880

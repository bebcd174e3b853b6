#include "sim/ProductionLine.h"

#include "sim/SimulatedDevice.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace sim {

namespace {

using Steady = std::chrono::steady_clock;

// A person takes this long between pulling one board and plugging the next; long enough for a
// watcher to see the socket empty.
constexpr auto swapGap = std::chrono::milliseconds(300);
// A board that got Finish stays this long before it is pulled: the updater closes the port after it.
constexpr auto afterFinish = std::chrono::milliseconds(200);
constexpr auto look = std::chrono::milliseconds(20);

} // namespace

struct ProductionLine::Impl {
    explicit Impl(Config c) : config(std::move(c)) {}

    const Config config;
    std::function<void(const std::string&)> onEvent;
    std::thread thread;
    mutable std::mutex mutex;
    std::condition_variable wake;
    bool stopping = false;     // under mutex
    std::vector<Board> boards; // under mutex
    std::string error;         // under mutex
    std::atomic<bool> done{false};

    void tell(const std::string& text) {
        if (onEvent) {
            onEvent(text);
        }
    }

    // Waits until `until` or a stop; true when stopped.
    bool waitUntil(Steady::time_point until) {
        std::unique_lock lock(mutex);
        return wake.wait_until(lock, until, [this] { return stopping; });
    }

    void run() {
        const Appearances& line = config.line;
        for (int n = 1; line.boards == 0 || n <= line.boards; ++n) {
            const bool faulty = hasFaults(config) && (line.faultsEvery <= 1 || n % line.faultsEvery == 0);
            SimulatedDevice device(faulty ? config : withoutFaults(config));
            if (!device.start()) {
                const std::lock_guard lock(mutex);
                error = device.startError();
                break;
            }
            const Steady::time_point plugged = Steady::now();
            std::size_t index = 0;
            {
                const std::lock_guard lock(mutex);
                Board board;
                board.number = n;
                board.faulty = faulty;
                board.port = device.portPath();
                board.plugged = true;
                index = boards.size();
                boards.push_back(std::move(board));
            }
            tell("board " + std::to_string(n) + " plugged in: " + device.portPath() + " at " +
                 config.linkPath + (faulty ? " (with its faults)" : ""));

            const auto nextPlug = plugged + line.plugEvery;
            bool stopped = false;
            std::string why = "stopped";
            for (;;) {
                if (line.unplugAfterFinish && device.finished()) {
                    stopped = waitUntil(Steady::now() + afterFinish);
                    why = "finished";
                    break;
                }
                if (line.unplugAfter.count() > 0 && Steady::now() >= plugged + line.unplugAfter) {
                    why = "time";
                    break;
                }
                if (line.plugEvery.count() > 0 && Steady::now() + swapGap >= nextPlug) {
                    why = "next board";
                    break;
                }
                if (waitUntil(Steady::now() + look)) {
                    stopped = true;
                    break;
                }
            }
            {
                const std::lock_guard lock(mutex);
                boards[index].finished = device.finished();
                boards[index].frames = device.frameCodes();
            }
            device.stop();
            {
                const std::lock_guard lock(mutex);
                boards[index].plugged = false;
            }
            tell("board " + std::to_string(n) + " unplugged (" + why + ")");
            if (stopped) {
                return;
            }
            const Steady::time_point next = line.plugEvery.count() > 0
                                                ? std::max(nextPlug, Steady::now() + swapGap)
                                                : Steady::now() + swapGap;
            if (waitUntil(next)) {
                return;
            }
        }
        done = true;
    }
};

ProductionLine::ProductionLine(Config config) : impl(std::make_unique<Impl>(std::move(config))) {}

ProductionLine::~ProductionLine() {
    stop();
}

bool ProductionLine::start() {
    if (impl->config.linkPath.empty()) {
        impl->error = "boards coming and going need the socket's name: give --link-path";
        return false;
    }
    if (impl->thread.joinable()) {
        impl->error = "the line was already started";
        return false;
    }
    impl->onEvent = onEvent;
    try {
        impl->thread = std::thread([this] { impl->run(); });
    } catch (const std::system_error& e) {
        impl->error = std::string("cannot start the line's thread: ") + e.what();
        return false;
    }
    return true;
}

std::string ProductionLine::error() const {
    const std::lock_guard lock(impl->mutex);
    return impl->error;
}

void ProductionLine::stop() {
    {
        const std::lock_guard lock(impl->mutex);
        impl->stopping = true;
    }
    impl->wake.notify_all();
    if (impl->thread.joinable()) {
        impl->thread.join();
    }
}

bool ProductionLine::done() const {
    return impl->done.load() || !error().empty();
}

std::vector<Board> ProductionLine::boards() const {
    const std::lock_guard lock(impl->mutex);
    return impl->boards;
}

} // namespace sim

#include "station/PortWatcher.h"
#include "vtc880/UniqueFd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <poll.h>
#include <sys/inotify.h>
#include <system_error>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vtc880 {

namespace {

constexpr auto pollEvery = std::chrono::seconds(1);
constexpr std::uint32_t portEvents =
    IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;
constexpr std::uint32_t imageEvents =
    IN_CLOSE_WRITE | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB | IN_ONLYDIR;

} // namespace

struct PortWatcher::State {
    UniqueFd fd; // the inotify instance; none while polling
    struct Watch {
        std::string folder;
        std::string name; // for the image's folders: the one name whose events count
        int wd = -1;
    };
    std::vector<Watch> watches;
    bool first = true;
    std::chrono::steady_clock::time_point lastPoll{};

    // Watches every folder that exists now and is not watched yet; a folder that went away is
    // watched again once it is back. True when a port folder was newly watched: what it got before
    // the watch was in place is seen only by a scan.
    bool ensureWatches() {
        bool added = false;
        for (Watch& watch : watches) {
            if (watch.wd < 0) {
                watch.wd = inotify_add_watch(fd.get(), watch.folder.c_str(),
                                             watch.name.empty() ? portEvents : imageEvents);
                added = added || (watch.wd >= 0 && watch.name.empty());
            }
        }
        return added;
    }

    PortWatcher::Changes drain() {
        PortWatcher::Changes changes;
        alignas(inotify_event) char buffer[16 * 1024];
        for (;;) {
            const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
            if (got < 0 && errno == EINTR) {
                continue;
            }
            if (got <= 0) {
                break;
            }
            std::size_t at = 0;
            while (at + sizeof(inotify_event) <= std::size_t(got)) {
                inotify_event event{};
                std::copy(buffer + at, buffer + at + sizeof event, reinterpret_cast<char*>(&event));
                const char* name = buffer + at + sizeof event;
                const std::size_t size = sizeof event + event.len;
                if (at + size > std::size_t(got)) {
                    break;
                }
                at += size;
                if (event.mask & IN_Q_OVERFLOW) {
                    changes.ports = changes.image = true;
                    continue;
                }
                for (Watch& watch : watches) {
                    if (watch.wd != event.wd) {
                        continue;
                    }
                    if (event.mask & (IN_IGNORED | IN_DELETE_SELF | IN_MOVE_SELF)) {
                        watch.wd = -1;
                    }
                    if (watch.name.empty()) {
                        changes.ports = true;
                    } else if (event.len > 0 && std::string(name, strnlen(name, event.len)) == watch.name) {
                        changes.image = true;
                    }
                }
            }
        }
        return changes;
    }
};

PortWatcher::PortWatcher(const std::string& devRoot, const std::string& imagePath,
                         const std::vector<std::string>& named)
    : state(std::make_unique<State>()) {
    namespace fs = std::filesystem;
    state->fd.reset(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    const fs::path dev(devRoot);
    std::vector<fs::path> folders{dev, dev / "serial", dev / "serial" / "by-id", dev / "serial" / "by-path"};
    for (const std::string& path : named) {
        const fs::path folder = fs::path(path).parent_path().lexically_normal();
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
            folders.push_back(folder); // /dev/pts for a pseudo-terminal
        }
    }
    for (const fs::path& folder : folders) {
        state->watches.push_back({folder.string(), {}, -1});
    }
    const auto watchImage = [&](const fs::path& image) {
        const fs::path folder = image.has_parent_path() ? image.parent_path() : fs::path(".");
        state->watches.push_back({folder.string(), image.filename().string(), -1});
    };
    watchImage(imagePath);
    std::error_code ec;
    if (const fs::path target = fs::canonical(imagePath, ec); !ec && target != fs::absolute(imagePath, ec)) {
        watchImage(target);
    }
    if (state->fd.valid()) {
        state->ensureWatches();
    }
}

PortWatcher::~PortWatcher() = default;

bool PortWatcher::polling() const {
    return !state->fd.valid();
}

PortWatcher::Changes PortWatcher::wait(std::chrono::milliseconds timeout) {
    Changes changes;
    if (state->first) {
        state->first = false;
        changes.ports = changes.image = true;
        return changes;
    }
    if (!state->fd.valid()) {
        const auto now = std::chrono::steady_clock::now();
        if (now - state->lastPoll < pollEvery) {
            std::this_thread::sleep_for(timeout);
        }
        if (std::chrono::steady_clock::now() - state->lastPoll >= pollEvery) {
            state->lastPoll = std::chrono::steady_clock::now();
            changes.ports = changes.image = true;
        }
        return changes;
    }
    pollfd ready{state->fd.get(), POLLIN, 0};
    if (::poll(&ready, 1, int(timeout.count())) > 0) {
        changes = state->drain();
    }
    if (state->ensureWatches()) {
        changes.ports = true;
    }
    return changes;
}

} // namespace vtc880

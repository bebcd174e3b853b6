#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace vtc880 {

// Wakes a station when serial ports may have come or gone, or its image file may have changed:
// inotify on the device folder, its serial/by-id and serial/by-path folders (watched from the moment
// they exist: udev makes them with the first adapter and removes them with the last) and the folder
// of the image (and of the file it links to). Where inotify is not available it falls back to
// polling: a wait then reports both as possibly changed once a second.
class PortWatcher {
  public:
    // `named`: paths of ports named by the station's slots; their folders are watched as well.
    PortWatcher(const std::string& devRoot, const std::string& imagePath,
                const std::vector<std::string>& named = {});
    ~PortWatcher();
    PortWatcher(const PortWatcher&) = delete;
    PortWatcher& operator=(const PortWatcher&) = delete;

    struct Changes {
        bool ports = false;
        bool image = false;
    };
    // Waits up to `timeout` for something to change; returns what may have. The first wait reports
    // both.
    Changes wait(std::chrono::milliseconds timeout);
    bool polling() const; // inotify is not available

  private:
    struct State;
    std::unique_ptr<State> state;
};

} // namespace vtc880

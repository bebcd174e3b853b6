#pragma once

#include "vtc880/DeviceRecord.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vtc880 {

// An image as a station sends it: the bytes it checked, in a private copy that the jobs read, so that
// what a record says was sent is what was sent, however the file changes meanwhile. The copy is
// removed when the last job using it has ended.
struct ImageSnapshot {
    std::string file;                      // the private copy it was loaded from
    std::shared_ptr<const FileCopy> image; // as loaded and checked: what the jobs send
    ImageFacts facts; // of the file as it was read (its own path, size, SHA-256, version)
    ImageSnapshot() = default;
    ImageSnapshot(const ImageSnapshot&) = delete;
    ImageSnapshot& operator=(const ImageSnapshot&) = delete;
    ~ImageSnapshot();
};

// The station's image file: read and checked at the start, and again only when the file changed.
class StationImage {
  public:
    explicit StationImage(std::string path);
    ~StationImage();
    StationImage(const StationImage&) = delete;
    StationImage& operator=(const StationImage&) = delete;

    enum class Change {
        none,    // the file is as last read (or changed back to the same bytes)
        usable,  // new bytes that can be sent: current() holds them
        refused, // new bytes that cannot be sent: current() is empty, problem() says why
    };
    // The first call reads the file; later calls read it again only when its size, time or inode
    // changed.
    Change refresh();
    std::shared_ptr<const ImageSnapshot> current() const { return snapshot; }
    const std::string& problem() const { return problem_; }
    const std::string& path() const { return path_; }

  private:
    std::string path_;
    std::string folder; // private, for the copies
    std::string problem_;
    std::shared_ptr<const ImageSnapshot> snapshot;
    std::string lastSha; // of the last bytes read, usable or not
    std::string signature;
    bool read = false;
    int copies = 0;
};

} // namespace vtc880

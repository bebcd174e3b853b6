#pragma once

#include "vtc880/DeviceRecord.h"
#include "vtc880/RecordFile.h"
#include "vtc880/UpdateRun.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace vtc880 {

// --record on update, verify and erase: the record file, and what the records of one run share (the
// image as it was read at the start, the ports' names and USB identities).
class JobRecorder {
  public:
    // `imagePath` is empty for an erase. On return `problem` is empty when the file can be written and
    // the image read, else why not.
    JobRecorder(const std::string& recordPath, const std::string& imagePath, std::string& problem);

    // Appends the record of one finished job. Empty on success, else why not, with the record. Any
    // thread.
    std::string write(const RunSettings& job, const RunResult& result,
                      std::chrono::system_clock::time_point start,
                      std::chrono::system_clock::time_point end) const;

  private:
    RecordFile file;
    std::optional<ImageFacts> image;
    std::vector<Port> ports;
};

} // namespace vtc880

#include "vtc880/JobRecorder.h"

#include "vtc880/ImageCheck.h"

namespace vtc880 {

JobRecorder::JobRecorder(const std::string& recordPath, const std::string& imagePath, std::string& problem)
    : file(recordPath), ports(inventoryPorts()) {
    problem = file.check();
    if (!problem.empty()) {
        problem = "cannot write records: " + problem;
        return;
    }
    if (!imagePath.empty()) {
        const std::optional<std::string> bytes = readWholeFile(imagePath);
        FileCopy loaded;
        if (!bytes || !loadImage(imagePath, loaded).ok()) {
            problem = imagePath + ": cannot read the firmware image";
            return;
        }
        image = imageFacts(imagePath, *bytes, loaded);
    }
}

std::string JobRecorder::write(const RunSettings& job, const RunResult& result,
                               std::chrono::system_clock::time_point start,
                               std::chrono::system_clock::time_point end) const {
    const DeviceRecord record =
        recordOf(job, result, start, end, findPort(ports, job.port), image ? &*image : nullptr, {});
    const std::string line = recordLine(record);
    const std::string problem = file.append(line);
    // The record itself goes with the problem, so that nothing the run did is lost unseen.
    return problem.empty()
               ? problem
               : "the record of " + job.port + " was not written: " + problem + "; here it is: " + line;
}

} // namespace vtc880

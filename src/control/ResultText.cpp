#include "vtc880/ResultText.h"

#include "ports/PortAdvice.h"
#include "ports/PortErrorText.h"
#include "vtc880/DeviceStateText.h"
#include "vtc880/ExitStatus.h"
#include "vtc880/Figures.h"
#include "vtc880/Format.h"
#include "vtc880/ImageBuilder.h"

#include <chrono>

namespace vtc880 {

namespace {

using Seconds = std::chrono::duration<double>;

// What a run that succeeded did: "fw.hex: 555 bytes, version 2.1.7, in 2.3 s".
std::string whatWasSent(const RunResult& result, const FileCopy* image, const std::string& imageName) {
    const std::uint64_t bytes = image != nullptr ? image->totalSize() : result.report.device.imageBytes;
    std::string text = (imageName.empty() ? std::string() : imageName + ": ") + groupedThousands(bytes) +
                       (bytes == 1 ? " byte" : " bytes");
    if (image != nullptr) {
        const std::string version = imageVersion(*image);
        text += version.empty() ? ", no version block" : ", version " + version;
    }
    return text;
}

std::string updatedText(const RunResult& result, const FileCopy* image, const std::string& imageName) {
    const RunReport& report = result.report;
    std::string text =
        "updated" + std::string(imageName.empty() ? ": " : " with ") + whatWasSent(result, image, imageName);
    if (report.bytesVerified > 0) {
        text += ", verified";
    }
    text += ", in " + durationText(runSeconds(report));
    const double programming = Seconds(report.times[std::size_t(Phase::programming)]).count();
    if (programming > 0 && report.device.bytesProgrammed > 0) {
        text += ", programmed at " + rateText(double(report.device.bytesProgrammed) / programming);
    }
    return text;
}

std::string portProblem(const RunResult& result, const std::string& devicePath) {
    std::string text = "cannot open the port";
    if (result.openError == PortError::busy) {
        text += busyAdvice(devicePath);
    } else if (result.openError == PortError::permissionDenied) {
        text += permissionAdvice(devicePath);
    } else if (result.openError == PortError::notFound) {
        text += ": no such port (vtc880 ports lists the ports found)";
    } else if (!result.portBrief.empty()) {
        text += ": " + result.portBrief;
    }
    return text;
}

// The device answered nothing from the start: only then do the link choice and the cable come into it.
std::string noAnswerText(const RunReport& report) {
    if (!report.phase || *report.phase == Phase::speedSwitch || *report.phase == Phase::updateMode) {
        return "the device does not answer: check the link choice (--link rs232 for a serial cable, --link "
               "usb for the USB link), the cable, and that the device is powered";
    }
    return std::string("the device stopped answering during the ") + phaseText(*report.phase);
}

// Why the job ended, before what the device holds.
std::string cause(const RunResult& result, Operation operation, const std::string& devicePath,
                  const FileCopy* image) {
    switch (result.outcome) {
    case Outcome::succeeded:
        return operation == Operation::update   ? "updated"
               : operation == Operation::verify ? "verified: the device holds the image"
                                                : "erased";
    case Outcome::portError:
        return portProblem(result, devicePath);
    case Outcome::portLost:
        return portLostBrief() + " during the " +
               std::string(result.report.phase ? phaseText(*result.report.phase) : "run");
    case Outcome::imageError:
        return "cannot use the firmware image" +
               (result.imageProblem.empty() ? std::string() : ": " + result.imageProblem);
    case Outcome::noAnswer:
        return noAnswerText(result.report);
    case Outcome::eraseFailed:
        return "the device did not complete the erase";
    case Outcome::programmingFailed:
        return "programming stopped: the device refused a chunk or did not answer it in time";
    case Outcome::verifyFailed: {
        std::string text = "the device's memory differs from the image";
        if (result.report.mismatch) {
            text += (result.report.mismatch->answered ? " at " : ": no answer to the verify of ") +
                    mismatchText(*result.report.mismatch, image);
        }
        return operation == Operation::update ? text + "; Finish was not sent" : text;
    }
    case Outcome::interrupted:
        return "interrupted";
    case Outcome::noWorker:
        return "the system would not start a worker thread: close other programs and try again";
    case Outcome::none:
        break;
    }
    return "ended without a result";
}

} // namespace

std::string mismatchText(const VerifyMismatch& where, const FileCopy* image) {
    std::string text = "block " + std::to_string(where.block + 1);
    if (image != nullptr && where.block >= 0 && where.block < image->count) {
        text += " of " + std::to_string(image->count);
        // An image packed from a recipe starts with its version block; the sources follow in order.
        const FileBlock& first = image->blocks[0];
        if (where.block > 0 && first.size == 4 && first.address == versionAddress) {
            text += " (SOURCE_" + std::to_string(where.block) + " of its recipe)";
        }
    }
    text += formatText(", word 0x%X, bytes %u..%u of the block", where.wordAddress, where.blockOffset,
                       where.blockOffset + (where.length == 0 ? 0 : where.length - 1));
    return text;
}

std::string resultText(const RunResult& result, Operation operation, const std::string& devicePath,
                       const FileCopy* image, const std::string& imageName) {
    const DeviceHolding& device = result.report.device;
    if (result.outcome == Outcome::succeeded) {
        // A verify or an erase leaves the device in its update mode: no Finish is sent.
        const char* const stays = "; it stays in update mode until it is power-cycled";
        switch (operation) {
        case Operation::update:
            return updatedText(result, image, imageName);
        case Operation::verify:
            return "verified: the device holds the image (" + whatWasSent(result, image, imageName) +
                   ", in " + durationText(runSeconds(result.report)) + ")" + stays;
        case Operation::erase:
            return "erased in " + durationText(runSeconds(result.report)) +
                   "; the device holds no firmware until it is updated" + stays;
        }
    }
    return cause(result, operation, devicePath, image) + "; " + deviceStateText(device);
}

std::string resultLine(const std::string& port, const RunResult& result, const std::string& text) {
    if (result.outcome == Outcome::succeeded) {
        return port + ": " + text;
    }
    return port + ": FAILED (" + outcomeText(result.outcome) + "): " + text;
}

std::string briefResult(const RunResult& result, Operation operation) {
    if (result.outcome != Outcome::succeeded) {
        return std::string("FAILED (") + outcomeText(result.outcome) + ")";
    }
    const char* done = operationDone(operation);
    return std::string(done) + " in " + durationText(runSeconds(result.report));
}

std::string totalText(Operation operation, int devices, const std::vector<std::string>& failedPorts,
                      int exitCode) {
    const char* done = operationDone(operation);
    const int failed = int(failedPorts.size());
    std::string text = std::to_string(devices) + " devices: " + std::to_string(devices - failed) + " " +
                       done + ", " + std::to_string(failed) + " failed";
    if (failed > 0) {
        text += " (";
        for (int i = 0; i < failed; ++i) {
            text += (i > 0 ? ", " : "") + failedPorts[std::size_t(i)];
        }
        text += ")";
    }
    return text + "; exit status " + std::to_string(exitCode);
}

} // namespace vtc880

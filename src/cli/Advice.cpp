#include "cli/Advice.h"

#include "cli/ExitCodes.h"
#include "cli/PortAdvice.h"
#include "control/DeviceStateText.h"
#include "control/Format.h"
#include "control/PortErrorText.h"
#include "image/ImageBuilder.h"

int exitCodeFor(Outcome outcome) {
    switch (outcome) {
    case Outcome::succeeded:
        return Exit::ok;
    case Outcome::portError:
    case Outcome::portLost:
        return Exit::port;
    case Outcome::imageError:
        return Exit::file;
    case Outcome::noAnswer:
        return Exit::noAnswer;
    case Outcome::eraseFailed:
        return Exit::erase;
    case Outcome::programFailed:
        return Exit::program;
    case Outcome::verifyFailed:
        return Exit::verify;
    case Outcome::cancelled:
        return Exit::interrupt;
    case Outcome::noWorker:
    case Outcome::none:
        break;
    }
    return Exit::internal;
}

const char* outcomeName(Outcome outcome) {
    switch (outcome) {
    case Outcome::succeeded:
        return "succeeded";
    case Outcome::portError:
        return "port";
    case Outcome::portLost:
        return "port lost";
    case Outcome::imageError:
        return "file";
    case Outcome::noAnswer:
        return "no answer";
    case Outcome::eraseFailed:
        return "erase failed";
    case Outcome::programFailed:
        return "programming failed";
    case Outcome::verifyFailed:
        return "verify failed";
    case Outcome::cancelled:
        return "interrupted";
    case Outcome::noWorker:
        return "no worker";
    case Outcome::none:
        break;
    }
    return "no result";
}

namespace {

std::string portProblem(const JobResult& result, const std::string& devicePath) {
    std::string text = "cannot open the port";
    if (result.openError == PortError::busy) {
        text += busyAdvice(devicePath);
    } else if (result.openError == PortError::permissionDenied) {
        text += permissionAdvice();
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
    return std::string("the device stopped answering during the ") + phaseName(*report.phase);
}

// Why the job ended, before what the device holds.
std::string cause(const JobResult& result, Operation operation, const std::string& devicePath,
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
               std::string(result.report.phase ? phaseName(*result.report.phase) : "run");
    case Outcome::imageError:
        return "cannot use the firmware image" +
               (result.imageProblem.empty() ? std::string() : ": " + result.imageProblem);
    case Outcome::noAnswer:
        return noAnswerText(result.report);
    case Outcome::eraseFailed:
        return "the device did not complete the erase";
    case Outcome::programFailed:
        return "programming stopped: the device refused a chunk or did not answer it in time";
    case Outcome::verifyFailed: {
        std::string text = "the device's memory differs from the image";
        if (result.report.mismatch) {
            text += (result.report.mismatch->answered ? " at " : ": no answer to the verify of ") +
                    mismatchText(*result.report.mismatch, image);
        }
        return operation == Operation::update ? text + "; Finish was not sent" : text;
    }
    case Outcome::cancelled:
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

std::string resultText(const JobResult& result, Operation operation, const std::string& devicePath,
                       const FileCopy* image) {
    const std::string why = cause(result, operation, devicePath, image);
    const DeviceHolding& device = result.report.device;
    if (result.outcome == Outcome::succeeded) {
        if (operation == Operation::update) {
            return why;
        }
        // A verify or an erase leaves the device in its update mode: no Finish is sent.
        return why +
               (operation == Operation::erase ? "; the device holds no firmware until it is updated" : "") +
               "; it stays in update mode until it is power-cycled";
    }
    return why + "; " + deviceStateText(device);
}

#include "cli/Advice.h"

#include "cli/ExitCodes.h"
#include "cli/PortAdvice.h"

int exitCodeFor(Outcome outcome) {
    switch (outcome) {
    case Outcome::succeeded:
        return Exit::ok;
    case Outcome::portError:
        return Exit::port;
    case Outcome::imageError:
        return Exit::file;
    case Outcome::eraseFailed:
        return Exit::erase;
    case Outcome::programFailed:
        return Exit::program;
    case Outcome::verifyFailed:
        return Exit::verify;
    case Outcome::cancelled:
        return Exit::interrupt;
    case Outcome::none:
    case Outcome::noAnswer:
        break;
    }
    return Exit::noAnswer;
}

const char* outcomeName(Outcome outcome) {
    switch (outcome) {
    case Outcome::succeeded:
        return "succeeded";
    case Outcome::portError:
        return "port";
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
    case Outcome::none:
        break;
    }
    return "no result";
}

std::string resultText(const JobResult& result, Operation operation, const std::string& devicePath) {
    switch (result.outcome) {
    case Outcome::succeeded:
        return operation == Operation::update   ? "updated"
               : operation == Operation::verify ? "verified: the device holds the image"
                                                : "erased";
    case Outcome::portError: {
        std::string text = "cannot open the port";
        if (result.openError == PortError::busy) {
            text += busyAdvice(devicePath);
        } else if (result.openError == PortError::permissionDenied) {
            text += permissionAdvice();
        } else if (result.openError == PortError::notFound) {
            text += ": no such port (vtc880 ports lists the ports found)";
        }
        return text;
    }
    case Outcome::imageError:
        return "cannot read the firmware image";
    case Outcome::noAnswer:
        return "the device does not answer: check the link choice (--link rs232 for a serial cable, --link "
               "usb "
               "for the USB link), the cable, and that the device is powered";
    case Outcome::eraseFailed:
        return "the device did not complete the erase: run the update again; nothing was programmed";
    case Outcome::programFailed:
        return "programming stopped part-way: the device holds incomplete firmware; run the update again "
               "before using it";
    case Outcome::verifyFailed:
        return operation == Operation::update
                   ? "the device's memory differs from the image; Finish was not sent: run the update again"
                   : "the device's memory differs from the image";
    case Outcome::cancelled:
        return operation == Operation::verify
                   ? "interrupted"
                   : "interrupted: the device may hold incomplete firmware; run the "
                     "update again";
    case Outcome::none:
        break;
    }
    return "ended without a result";
}

#include "cli/Advice.h"

#include "cli/ExitCodes.h"

#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <system_error>
#include <unistd.h>

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

std::string portHolders(const std::string& devicePath) {
    std::error_code error;
    const std::filesystem::path device = std::filesystem::canonical(devicePath, error);
    if (error) {
        return {};
    }
    std::string holders;
    for (const auto& process : std::filesystem::directory_iterator("/proc", error)) {
        const std::string pid = process.path().filename().string();
        if (pid.find_first_not_of("0123456789") != std::string::npos || pid == std::to_string(getpid())) {
            continue;
        }
        std::error_code unreadable;
        for (const auto& fd : std::filesystem::directory_iterator(process.path() / "fd", unreadable)) {
            std::error_code gone;
            if (std::filesystem::read_symlink(fd.path(), gone) == device) {
                std::string name;
                std::getline(std::ifstream(process.path() / "comm"), name);
                holders += (holders.empty() ? "" : ", ") + pid + " (" + name + ")";
                break;
            }
        }
    }
    return holders;
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
            const std::string holders = portHolders(devicePath);
            text += holders.empty() ? ": another program holds it" : ": held by process " + holders;
        } else if (result.openError == PortError::permissionDenied) {
            text += ": permission denied; join the dialout group (sudo usermod -aG dialout $USER) and log in "
                    "again";
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

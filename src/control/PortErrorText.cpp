#include "control/PortErrorText.h"

#include <system_error>

std::string portErrorDetail(PortError cause, int systemError, const std::string& devicePath) {
    const std::string port = devicePath.empty() ? std::string("The port") : devicePath;
    switch (cause) {
    case PortError::none:
        return "";
    case PortError::badName:
        return "Not a valid port name.";
    case PortError::notFound:
        return "No such port: " + (devicePath.empty() ? std::string("-") : devicePath) + ".";
    case PortError::permissionDenied:
        return "Permission denied on " + port +
               ": join the dialout group (sudo usermod -aG dialout $USER) and log in again.";
    case PortError::busy:
        return port + " is busy: another program holds the port. Close it and try again.";
    case PortError::notSerial:
        return port + " is not a serial port.";
    case PortError::other:
        break;
    }
    std::string text = port + " could not be opened";
    if (systemError != 0) {
        text += ": " + std::generic_category().message(systemError);
    }
    return text + ".";
}

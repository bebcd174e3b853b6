#include "ports/PortErrorText.h"

#include <system_error>

namespace vtc880 {

namespace {

std::string speedText(std::int32_t baudRate) {
    return baudRate > 0 ? std::to_string(baudRate) + " bit/s" : std::string("the speed asked for");
}

std::string unsupportedSpeedText(std::int32_t baudRate) {
    return "the adapter does not support " + speedText(baudRate);
}

constexpr const char* unsupportedFramingText =
    "the adapter does not support 8 data bits, no parity and one stop bit";

// A USB link on a plain RS-232 port asks for a speed the port cannot run.
constexpr const char* linkChoiceAdvice =
    "Check the link choice: RS-232 for a serial cable, USB for the USB link.";

} // namespace

std::string portErrorDetail(PortError cause, int systemError, const std::string& devicePath,
                            std::int32_t baudRate) {
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
    case PortError::unsupportedSpeed:
        return port + ": " + unsupportedSpeedText(baudRate) + ". " + linkChoiceAdvice;
    case PortError::unsupportedFraming:
        return port + ": " + unsupportedFramingText + ".";
    case PortError::other:
        break;
    }
    std::string text = port + " could not be opened";
    if (systemError != 0) {
        text += ": " + std::system_category().message(systemError);
    }
    return text + ".";
}

std::string portErrorBrief(PortError cause, int systemError, std::int32_t baudRate) {
    switch (cause) {
    case PortError::none:
        return "";
    case PortError::badName:
        return "not a valid port name";
    case PortError::notFound:
        return "no such port";
    case PortError::permissionDenied:
        return "permission denied";
    case PortError::busy:
        return "another program holds it";
    case PortError::notSerial:
        return "not a serial port";
    case PortError::unsupportedSpeed:
        return unsupportedSpeedText(baudRate) + " (check the link choice)";
    case PortError::unsupportedFraming:
        return unsupportedFramingText;
    case PortError::other:
        break;
    }
    return systemError != 0 ? std::system_category().message(systemError)
                            : std::string("it cannot be opened");
}

std::string portLostBrief() {
    return "the port went away (unplugged?)";
}

} // namespace vtc880

#pragma once

namespace vtc880 {

// Why a port could not be opened, so that a front end can say what to do.
enum class PortError {
    none,
    badName,            // empty, too long, or not a valid device path
    notFound,           // no such port
    permissionDenied,   // the user may not open it (on Linux: not in the dialout group)
    busy,               // another program holds it (on Windows: access denied)
    notSerial,          // the path is not a terminal (on Windows: not a serial port)
    unsupportedSpeed,   // the driver does not hold the speed asked for, or there is no such speed
    unsupportedFraming, // the driver does not hold 8 data bits, no parity, one stop bit
    other,
};

} // namespace vtc880

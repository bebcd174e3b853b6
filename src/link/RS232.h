#pragma once

#include <cstdint>
#include <memory>
#include <string>

// Why a port could not be opened, so that a front end can say what to do.
enum class PortError {
    none,
    badName,          // empty, too long, or not a valid device path
    notFound,         // no such port
    permissionDenied, // the user may not open it (on Linux: not in the dialout group)
    busy,             // another program holds it (on Windows: access denied)
    notSerial,        // the path is not a terminal
    other,
};

// One serial port, open from construction to destruction: exclusive, raw 8N1 at the given speed,
// a read time-out per read, synchronous writes.
class RS232 {
  public:
    RS232(const std::string& portName, std::int32_t baudRate);
    virtual ~RS232();
    RS232(const RS232&) = delete;
    RS232& operator=(const RS232&) = delete;

    // Non-zero on success. A read that times out succeeds with *got == 0; a hang-up or I/O error
    // fails with *got == 0. On a port that did not open, both return 0 and leave the count alone.
    int read(void* buffer, std::uint32_t length, std::uint32_t* got);
    int write(const void* buffer, std::uint32_t length, std::uint32_t* written);

    void purge();                             // discard pending input and output
    void timeOut(std::uint32_t milliseconds); // how long one read waits for a byte
    std::uint32_t readTimeOut() const;

    bool error = true; // the open failed

    PortError cause() const; // why the open failed
    int systemError() const; // the system's own error number for it (errno, GetLastError), 0 if none
    const std::string& devicePath() const;
    // Whether the driver holds the raw 8N1 settings at the speed asked for, as read back after setting
    // them. The open succeeds without them (a rate the driver does not take leaves the speed as found).
    bool lineSettingsApplied() const;

  private:
    struct Port;
    std::unique_ptr<Port> port;
};

// The device path a port name stands for. On Linux: a name containing '/' as it is, COMn as the n-th
// serial port, anything else under /dev/. On Windows: the name under \\.\ (COM10 and above need it).
// Empty when the name cannot form a valid path.
std::string devicePathFor(const std::string& portName);

#include "link/DeviceCodes.h"
#include "link/RS232.h"

#include <windows.h>

namespace {

// "\\.\" and the name must fit the 32-byte path of the original, terminator included.
constexpr std::size_t maxName = 27;
constexpr char devicePrefix[] = "\\\\.\\";

// Purge both directions: PURGE_TXCLEAR | PURGE_RXCLEAR.
constexpr DWORD purgeBoth = 0x0004 | 0x0008;

PortError causeOf(DWORD err) {
    switch (err) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_UNIT:
    case ERROR_NOT_READY:
    case ERROR_DEV_NOT_EXIST:
        return PortError::notFound;
    // A port another program holds refuses a second open with "access denied".
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
        return PortError::busy;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return PortError::badName;
    default:
        return PortError::other;
    }
}

} // namespace

std::string devicePathFor(const std::string& portName) {
    if (portName.empty() || portName.size() > maxName || portName.find('\0') != std::string::npos)
        return {};
    return devicePrefix + portName;
}

struct RS232::Port {
    std::string path;
    HANDLE handle = INVALID_HANDLE_VALUE;
    DCB dcb{};
    COMMTIMEOUTS timeouts{};
    std::uint32_t readTimeoutMs = Limits::openTimeoutMs;
    bool lineApplied = false;
    PortError cause = PortError::none;
    int systemError = 0;

    ~Port() {
        if (handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle);
    }

    bool open() const { return handle != INVALID_HANDLE_VALUE; }
    void applyReadTimeout(std::uint32_t milliseconds);
    void configure(std::int32_t baudRate);
};

void RS232::Port::applyReadTimeout(std::uint32_t milliseconds) {
    // With the interval at its maximum and no multiplier, a one-byte read returns as soon as a byte
    // is there, and with nothing once the constant has passed.
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = milliseconds;
    ::SetCommTimeouts(handle, &timeouts);
}

void RS232::Port::configure(std::int32_t baudRate) {
    // The results of these calls are not examined: the port is open, and a driver that refuses a
    // setting still moves bytes. lineSettingsApplied() tells whether it took them.
    ::GetCommTimeouts(handle, &timeouts);
    timeouts.WriteTotalTimeoutMultiplier = 0; // writes return once the port has the bytes
    timeouts.WriteTotalTimeoutConstant = 0;
    applyReadTimeout(readTimeoutMs);

    dcb.DCBlength = sizeof dcb;
    const BOOL read = ::GetCommState(handle, &dcb);
    dcb.BaudRate = DWORD(baudRate);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    const BOOL set = ::SetCommState(handle, &dcb);

    DCB now{};
    now.DCBlength = sizeof now;
    lineApplied = read && set && ::GetCommState(handle, &now) && now.BaudRate == DWORD(baudRate) &&
                  now.ByteSize == 8 && now.Parity == NOPARITY && now.StopBits == ONESTOPBIT;
}

RS232::RS232(const std::string& portName, std::int32_t baudRate) : port(std::make_unique<Port>()) {
    port->path = devicePathFor(portName);
    if (port->path.empty()) {
        port->cause = PortError::badName;
        return;
    }
    // Exclusive, existing devices only, synchronous.
    port->handle = ::CreateFileA(port->path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 0, nullptr);
    if (!port->open()) {
        const DWORD err = ::GetLastError();
        port->cause = causeOf(err);
        port->systemError = int(err);
        return;
    }
    port->configure(baudRate);
    error = false;
}

RS232::~RS232() = default;

int RS232::read(void* buffer, std::uint32_t length, std::uint32_t* got) {
    if (!port->open())
        return 0;
    DWORD n = 0;
    const BOOL ok = ::ReadFile(port->handle, buffer, DWORD(length), &n, nullptr);
    *got = ok ? std::uint32_t(n) : 0;
    return ok ? 1 : 0;
}

int RS232::write(const void* buffer, std::uint32_t length, std::uint32_t* written) {
    if (!port->open())
        return 0;
    DWORD n = 0;
    const BOOL ok = ::WriteFile(port->handle, buffer, DWORD(length), &n, nullptr);
    *written = std::uint32_t(n);
    // A write cut short by the driver is no success, whatever the call says.
    return ok && n == length ? 1 : 0;
}

void RS232::purge() {
    if (!port->open())
        return;
    ::PurgeComm(port->handle, purgeBoth);
    DWORD errors = 0;
    COMSTAT status{};
    ::ClearCommError(port->handle, &errors, &status);
}

void RS232::timeOut(std::uint32_t milliseconds) {
    port->readTimeoutMs = milliseconds;
    if (port->open())
        port->applyReadTimeout(milliseconds);
}

std::uint32_t RS232::readTimeOut() const {
    return port->readTimeoutMs;
}

PortError RS232::cause() const {
    return port->cause;
}

int RS232::systemError() const {
    return port->systemError;
}

const std::string& RS232::devicePath() const {
    return port->path;
}

bool RS232::lineSettingsApplied() const {
    return port->lineApplied;
}

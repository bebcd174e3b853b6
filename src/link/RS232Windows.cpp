#include "link/RS232.h"
#include "link/UniqueHandle.h"
#include "vtc880/DeviceCodes.h"

#include <windows.h>

namespace vtc880 {

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

// A read or write failed this way after the open: the port is gone. Drivers say it differently when
// an adapter is pulled: FTDI's ERROR_BAD_COMMAND or ERROR_ACCESS_DENIED, usbser's ERROR_GEN_FAILURE,
// a cancelled I/O, a device removed or no longer connected.
bool isGone(DWORD err) {
    switch (err) {
    case ERROR_DEVICE_REMOVED:
    case ERROR_DEVICE_NOT_CONNECTED:
    case ERROR_OPERATION_ABORTED:
    case ERROR_BAD_COMMAND:
    case ERROR_ACCESS_DENIED:
    case ERROR_GEN_FAILURE:
        return true;
    default:
        return false;
    }
}

// SetCommState refuses a speed or a framing the driver cannot run this way.
PortError causeOfRefusedState(DWORD err) {
    return err == ERROR_INVALID_PARAMETER || err == ERROR_NOT_SUPPORTED ? PortError::unsupportedSpeed
                                                                        : PortError::other;
}

} // namespace

std::string devicePathFor(const std::string& portName) {
    if (portName.empty() || portName.size() > maxName || portName.find('\0') != std::string::npos)
        return {};
    return devicePrefix + portName;
}

struct RS232::Port {
    std::string path;
    std::int32_t baudRate = 0;
    UniqueHandle handle;
    DCB dcb{};
    COMMTIMEOUTS timeouts{};
    std::uint32_t readTimeoutMs = Limits::openTimeoutMs;
    bool lost = false;
    PortError cause = PortError::none;
    int systemError = 0;

    ~Port() { close(); }

    bool open() const { return handle.valid(); }
    void close() { handle.reset(); }
    void fail(PortError why, DWORD err) {
        cause = why;
        systemError = int(err);
        close();
    }
    // An I/O call failed: the port may be gone.
    void ioFailed() {
        if (isGone(::GetLastError()))
            lost = true;
    }
    bool applyReadTimeout(std::uint32_t milliseconds);
    void configure();
};

bool RS232::Port::applyReadTimeout(std::uint32_t milliseconds) {
    // With the interval at its maximum and no multiplier, a one-byte read returns as soon as a byte
    // is there, and with nothing once the constant has passed.
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = milliseconds;
    return ::SetCommTimeouts(handle.get(), &timeouts) != 0;
}

void RS232::Port::configure() {
    // A handle that is not a serial port (a file, NUL, a printer) has no line settings.
    dcb.DCBlength = sizeof dcb;
    if (!::GetCommState(handle.get(), &dcb)) {
        fail(PortError::notSerial, ::GetLastError());
        return;
    }
    // Without its time-outs a read would wait for ever for a byte that never comes.
    if (!::GetCommTimeouts(handle.get(), &timeouts)) {
        fail(PortError::other, ::GetLastError());
        return;
    }
    timeouts.WriteTotalTimeoutMultiplier = 0; // writes return once the port has the bytes
    timeouts.WriteTotalTimeoutConstant = 0;
    if (!applyReadTimeout(readTimeoutMs)) {
        fail(PortError::other, ::GetLastError());
        return;
    }

    dcb.BaudRate = DWORD(baudRate);
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fRtsControl = RTS_CONTROL_HANDSHAKE;
    if (baudRate <= 0) {
        fail(PortError::unsupportedSpeed, 0);
        return;
    }
    if (!::SetCommState(handle.get(), &dcb)) {
        const DWORD err = ::GetLastError();
        fail(causeOfRefusedState(err), err);
        return;
    }

    // A driver may take the call and keep another speed: only what it holds now counts.
    DCB now{};
    now.DCBlength = sizeof now;
    if (!::GetCommState(handle.get(), &now)) {
        fail(PortError::other, ::GetLastError());
        return;
    }
    if (now.BaudRate != DWORD(baudRate)) {
        fail(PortError::unsupportedSpeed, 0);
        return;
    }
    if (now.ByteSize != 8 || now.Parity != NOPARITY || now.StopBits != ONESTOPBIT)
        fail(PortError::unsupportedFraming, 0);
}

RS232::RS232(const std::string& portName, std::int32_t baudRate) : RS232(portName, baudRate, std::string()) {}

// Windows keeps an adapter's latency timer in its driver's settings, not where a program sets it.
RS232::RS232(const std::string& portName, std::int32_t baudRate, const std::string&)
    : port(std::make_unique<Port>()) {
    port->path = devicePathFor(portName);
    port->baudRate = baudRate;
    if (port->path.empty()) {
        port->cause = PortError::badName;
        return;
    }
    // Exclusive, existing devices only, synchronous.
    port->handle.reset(::CreateFileA(port->path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                     OPEN_EXISTING, 0, nullptr));
    if (!port->open()) {
        const DWORD err = ::GetLastError();
        port->cause = causeOf(err);
        port->systemError = int(err);
        return;
    }
    port->configure();
    error = !port->open();
}

RS232::~RS232() = default;

int RS232::read(void* buffer, std::uint32_t length, std::uint32_t* got) {
    if (!port->open())
        return 0;
    if (port->lost) {
        *got = 0;
        return 0;
    }
    DWORD n = 0;
    const BOOL ok = ::ReadFile(port->handle.get(), buffer, DWORD(length), &n, nullptr);
    if (!ok)
        port->ioFailed();
    *got = ok ? std::uint32_t(n) : 0;
    return ok ? 1 : 0;
}

int RS232::write(const void* buffer, std::uint32_t length, std::uint32_t* written) {
    if (!port->open())
        return 0;
    if (port->lost) {
        *written = 0;
        return 0;
    }
    DWORD n = 0;
    const BOOL ok = ::WriteFile(port->handle.get(), buffer, DWORD(length), &n, nullptr);
    if (!ok)
        port->ioFailed();
    *written = std::uint32_t(n);
    // A write cut short by the driver is no success, whatever the call says.
    return ok && n == length ? 1 : 0;
}

void RS232::purge() {
    if (!port->open())
        return;
    ::PurgeComm(port->handle.get(), purgeBoth);
    DWORD errors = 0;
    COMSTAT status{};
    ::ClearCommError(port->handle.get(), &errors, &status);
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

std::int32_t RS232::baudRate() const {
    return port->baudRate;
}

bool RS232::lost() const {
    return port->lost;
}

} // namespace vtc880

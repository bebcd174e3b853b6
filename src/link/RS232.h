#pragma once

#include "vtc880/PortError.h"
#include "vtc880/PortName.h"

#include <cstdint>
#include <memory>
#include <string>

namespace vtc880 {

// One serial port, open from construction to destruction: exclusive, raw 8N1 at the given speed,
// a read time-out per read, synchronous writes. An open succeeds only when the driver holds the
// speed and framing asked for, as read back after setting them. While open, a USB serial adapter
// is asked for low latency (it would otherwise hold each short reply for its latency timer); what
// was there before comes back on close.
class RS232 {
  public:
    RS232(const std::string& portName, std::int32_t baudRate);
    // The same, with the folder where the system shows each tty's adapter settings: on Linux sysfs
    // (/sys, where the adapter's latency timer lives; see link/SysfsTty.h). Unused on Windows.
    RS232(const std::string& portName, std::int32_t baudRate, const std::string& sysfs);
    virtual ~RS232();
    RS232(const RS232&) = delete;
    RS232& operator=(const RS232&) = delete;

    // Non-zero on success. A read that times out succeeds with *got == 0; a hang-up or I/O error
    // fails with *got == 0. On a port that did not open, both return 0 and leave the count alone;
    // on a lost port they return 0 at once with a count of 0.
    int read(void* buffer, std::uint32_t length, std::uint32_t* got);
    int write(const void* buffer, std::uint32_t length, std::uint32_t* written);

    void purge();                             // discard pending input and output
    void timeOut(std::uint32_t milliseconds); // how long one read waits for a byte
    std::uint32_t readTimeOut() const;

    bool error = true; // the open failed

    PortError cause() const; // why the open failed
    int systemError() const; // the system's own error number for it (errno, GetLastError), 0 if none
    const std::string& devicePath() const;
    std::int32_t baudRate() const; // the speed asked for at construction
    // The port is gone: a read or a write failed because the line hung up or the device vanished
    // (unplugged), not because nothing came in time. It stays gone.
    bool lost() const;

  private:
    struct Port;
    std::unique_ptr<Port> port;
};

} // namespace vtc880

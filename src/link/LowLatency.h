#pragma once

#include <string>

namespace vtc880 {

// Low latency for one open tty, and back to what was there. A USB serial adapter holds a short
// reply for its latency timer (FTDI: 16 ms) before it sends it on; the updater waits for an 8-byte
// Ack after every chunk, so that wait would cost more than the chunk itself at 921600 bit/s.
// First the driver's own flag (TIOCSSERIAL with ASYNC_LOW_LATENCY; ftdi_sio then runs its timer
// at 1 ms), read back; where the adapter's timer still shows more than 1 ms, the timer itself in
// sysfs, when this user may write it. Where neither takes (a pseudo-terminal, a CDC-ACM port, no
// permission), nothing changes and the port works as before.
class LowLatency {
  public:
    LowLatency() = default;
    LowLatency(const LowLatency&) = delete;
    LowLatency& operator=(const LowLatency&) = delete;

    // `fd` is the open tty; `timerPath` its adapter's latency timer file, empty when it has none.
    void request(int fd, const std::string& timerPath);
    // Puts back what request() changed, newest first, and forgets it. A descriptor the line has hung
    // up on refuses the flag: the device it belonged to is gone.
    void restore(int fd);

  private:
    bool flagSet = false;  // request() set ASYNC_LOW_LATENCY
    std::string timerPath; // the timer request() wrote, with its value before
    int timerWas = -1;
};

} // namespace vtc880

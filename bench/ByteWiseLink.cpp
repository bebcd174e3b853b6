#include "ByteWiseLink.h"

#include "control/Connect.h"
#include "control/Download.h"
#include "control/Session.h"
#include "link/Protocole.h"
#include "vtc880/DeviceCodes.h"
#include "vtc880/LittleEndian.h"

#include <vector>

using namespace vtc880;

namespace {

class ByteWiseLink : public Protocole {
  public:
    using Protocole::Protocole;

    void send(std::uint16_t code, std::uint32_t size, const std::uint8_t* data) override;
    void extract(std::chrono::milliseconds wait = pollWait(PollWait::chunk)) override;
};

void ByteWiseLink::send(std::uint16_t code, std::uint32_t size, const std::uint8_t* data) {
    std::vector<std::uint8_t> frame(Frame::sentHeaderSize);
    frame[0] = Frame::start;
    le::put16(&frame[1], code);
    le::put32(&frame[3], size);
    frame.insert(frame.end(), data, data + size);
    frame.push_back(Frame::end);
    std::uint8_t sum = 0;
    for (const std::uint8_t b : frame) {
        sum = std::uint8_t(sum + b);
    }
    frame.push_back(sum);
    for (const std::uint8_t b : frame) {
        std::uint32_t written = 0;
        write(&b, 1, &written);
    }
}

void ByteWiseLink::extract(std::chrono::milliseconds wait) {
    Protocole::extract(wait);
    clock.sleepMs(1);
}

} // namespace

// The same steps on this thread through the byte-per-write link.
bool runByteWise(const std::string& port, std::int32_t baud, const BenchImage& image,
                 PhaseObserver& observer) {
    ByteWiseLink link(port, baud);
    if (link.error) {
        return false;
    }
    Session session(link, observer, systemClock());
    std::atomic<bool> connected{false};
    if (!connectDevice(session, connected)) {
        return false;
    }
    session.pause(100);
    const bool ok = downloadImage(session, image.image()) == Outcome::succeeded;
    observer.ended(Operation::update, ok ? Outcome::succeeded : Outcome::programmingFailed);
    return ok;
}

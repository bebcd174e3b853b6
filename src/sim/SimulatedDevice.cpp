#include "sim/SimulatedDevice.h"

#include "sim/AsciiReader.h"
#include "sim/FlashMemory.h"
#include "sim/FrameReader.h"
#include "sim/LineSpeed.h"
#include "sim/PseudoTerminal.h"
#include "sim/ReplyFrame.h"
#include "sim/SerialLine.h"
#include "sim/Transcript.h"
#include "sim/UpdateCommands.h"
#include "vtc880/DeviceCodes.h"
#include "vtc880/UniqueFd.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <system_error>
#include <thread>
#include <unistd.h>

using namespace vtc880;

namespace sim {

namespace {

using Clock = std::chrono::steady_clock;

// A run of characters that stops for this long is recorded without waiting for its carriage return.
constexpr auto asciiIdle = std::chrono::milliseconds(500);

// The command byte of a valid reply that is neither Ack nor ErrorReply.
constexpr std::uint8_t otherCommand = '?';
static_assert(otherCommand != Reply::Ack && otherCommand != Reply::ErrorReply);

// Junk on the line between frames: never a start byte.
const std::vector<std::uint8_t> noise{0x00, 0xFF, 0x55, 0xAA, '+', '\r', '\n', '#'};

std::string failure(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

} // namespace

struct SimulatedDevice::Impl {
    explicit Impl(Config c)
        : config(std::move(c)), transcript(config.keepTranscript ? Transcript::defaultMaxEntries : 0),
          commands(config, flash), speed(config.initialSpeed) {}
    ~Impl() { stop(); }

    bool start();
    void stop();
    bool publishLink();
    void removeLink();

    // Device thread.
    void run();
    bool process(const SerialLine::Byte& byte);
    bool onFrame(Received entry);
    bool reply(std::uint16_t code, std::vector<std::uint8_t> frame);
    bool pause(int milliseconds);
    void record(Received entry) { transcript.append(std::move(entry)); }

    const Config config;
    FlashMemory flash;
    Transcript transcript;
    UpdateCommands commands;
    PseudoTerminal pty;
    UniqueFd stopRead, stopWrite;
    std::thread thread;
    bool started = false; // owner's thread only
    std::string portPath; // written before the device thread starts, constant afterwards
    std::string error;    // owner's thread only
    std::string publishedLink;

    std::atomic<bool> updateMode{false};
    std::atomic<bool> finished{false};
    std::atomic<bool> hungUp{false};
    std::atomic<std::int32_t> speed;

    // Device thread only.
    std::unique_ptr<SerialLine> line;
    AsciiReader ascii;
    FrameReader frames;
    Clock::time_point frameStart{};
    std::int32_t frameSpeed = 0;
};

bool SimulatedDevice::Impl::start() {
    if (started) {
        error = "the device was already started";
        return false;
    }
    started = true;
    if (!pty.open(config.initialSpeed, error))
        return false;
    int pipeEnds[2];
    if (::pipe2(pipeEnds, O_CLOEXEC | O_NONBLOCK) != 0) {
        error = failure("pipe2");
        pty.close();
        return false;
    }
    stopRead.reset(pipeEnds[0]);
    stopWrite.reset(pipeEnds[1]);
    portPath = pty.slavePath();
    if (!config.linkPath.empty() && !publishLink()) {
        pty.close();
        portPath.clear();
        return false;
    }
    line = std::make_unique<SerialLine>(pty.master(), pty.slave(), stopRead.get(), config.lineModel);
    try {
        thread = std::thread([this] { run(); });
    } catch (const std::system_error& e) {
        error = std::string("cannot start the device thread: ") + e.what();
        removeLink();
        pty.close();
        portPath.clear();
        return false;
    }
    return true;
}

void SimulatedDevice::Impl::stop() {
    if (thread.joinable()) {
        const char wake = 1;
        while (::write(stopWrite.get(), &wake, 1) < 0 && errno == EINTR) {
        }
        thread.join();
    }
    pty.close();
    removeLink();
}

bool SimulatedDevice::Impl::publishLink() {
    // Made under a temporary name and renamed, so an existing link or file is replaced in one step.
    // The temporary name is hidden (a leading dot), so that nothing watching the folder takes it for
    // a port of its own.
    const std::size_t slash = config.linkPath.rfind('/');
    const std::size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    const std::string temporary =
        config.linkPath.substr(0, nameAt) + "." + config.linkPath.substr(nameAt) + ".new";
    ::unlink(temporary.c_str());
    if (::symlink(portPath.c_str(), temporary.c_str()) != 0) {
        error = failure("symlink " + temporary);
        return false;
    }
    if (::rename(temporary.c_str(), config.linkPath.c_str()) != 0) {
        error = failure("rename to " + config.linkPath);
        ::unlink(temporary.c_str());
        return false;
    }
    publishedLink = config.linkPath;
    return true;
}

void SimulatedDevice::Impl::removeLink() {
    if (publishedLink.empty())
        return;
    // Only our own link: another device may have taken the name over since.
    std::vector<char> target(portPath.size() + 2);
    const ssize_t length = ::readlink(publishedLink.c_str(), target.data(), target.size());
    if (length >= 0 && std::string(target.data(), std::size_t(length)) == portPath)
        ::unlink(publishedLink.c_str());
    publishedLink.clear();
}

void SimulatedDevice::Impl::run() {
    // With the line model, bytes wait here until their modelled arrival. Meanwhile the line is read on:
    // each byte keeps the speed the sender had set when it was written, even if the sender closes the
    // port (and its settings change back) before the device gets to that byte. Like a UART's buffer,
    // the queue is bounded; bytes beyond it are lost.
    constexpr std::size_t maxQueued = 64 * 1024;
    constexpr auto topUpEvery = std::chrono::milliseconds(1);
    std::deque<SerialLine::Byte> received;
    Clock::time_point lastTopUp{};
    for (;;) {
        if (!received.empty()) {
            if (config.lineModel && received.size() < maxQueued && Clock::now() - lastTopUp >= topUpEvery) {
                lastTopUp = Clock::now();
                if (!line->receive(received, speed.load()))
                    break;
            }
            const SerialLine::Byte byte = received.front();
            received.pop_front();
            if (config.lineModel && !line->waitUntil(byte.arrival))
                break;
            if (!process(byte))
                break;
            continue;
        }
        std::optional<Clock::time_point> deadline;
        if (ascii.pending())
            deadline = ascii.lastByteTime() + asciiIdle;
        const SerialLine::Wait wait = line->waitReadable(deadline);
        if (wait == SerialLine::Wait::timeout) {
            if (std::optional<Received> run = ascii.flush())
                record(std::move(*run));
            continue;
        }
        if (wait != SerialLine::Wait::ready || !line->receive(received, speed.load()))
            break;
    }
    if (std::optional<Received> run = ascii.flush())
        record(std::move(*run));
}

bool SimulatedDevice::Impl::process(const SerialLine::Byte& byte) {
    const std::int32_t deviceSpeed = speed.load();
    const std::uint8_t value = line->intact(byte, deviceSpeed) ? byte.value : garbledByte;
    if (!updateMode.load()) {
        // State first, then the record: whoever sees the entry sees its effect.
        AsciiReader::Event event = ascii.feed(value, byte.arrival, deviceSpeed);
        if (event.switchSpeed)
            speed.store(*event.switchSpeed);
        if (event.enterUpdate) {
            frames.reset();
            updateMode.store(true);
        }
        if (event.run)
            record(std::move(*event.run));
        return true;
    }
    const bool wasHunting = frames.hunting();
    const FrameReader::Result result = frames.feed(value);
    if (wasHunting && !frames.hunting()) {
        frameStart = byte.arrival;
        frameSpeed = deviceSpeed;
    }
    if (result == FrameReader::Result::none)
        return true;
    Received entry;
    entry.kind = result == FrameReader::Result::frame ? Received::Kind::frame : Received::Kind::badFrame;
    entry.time = frameStart;
    entry.code = frames.code();
    entry.data = frames.data();
    entry.speed = frameSpeed;
    if (result == FrameReader::Result::badFrame) {
        record(std::move(entry));
        return true; // not answered
    }
    return onFrame(std::move(entry));
}

bool SimulatedDevice::Impl::onFrame(Received entry) {
    const std::uint16_t code = entry.code;
    Action action = commands.handle(code, entry.data);
    // The command's effect, then its record, then the reply: whoever sees one sees what came before.
    if (action.leaveUpdateMode) {
        ascii.reset();
        updateMode.store(false);
        finished.store(true);
    }
    if (action.hangUp)
        hungUp.store(true);
    record(std::move(entry));
    if (action.hangUp) {
        pty.close();
        return false;
    }
    if (!pause(action.busyMs))
        return false;
    return !action.reply || reply(code, std::move(*action.reply));
}

bool SimulatedDevice::Impl::reply(std::uint16_t code, std::vector<std::uint8_t> frame) {
    if (config.silent || config.silentOn == code)
        return true;
    if (config.wrongCommandOn == code) {
        frame[1] = otherCommand;
        resealReply(frame);
    }
    if (config.badChecksumOn == code)
        frame.back() = std::uint8_t(frame.back() + 1);
    if (!pause(config.replyDelayMs))
        return false;
    const std::int32_t deviceSpeed = speed.load();
    if (config.noiseBetweenFrames && !line->send(noise, deviceSpeed))
        return false;
    if (config.splitReplyPauseMs <= 0)
        return line->send(frame, deviceSpeed);
    const auto middle = frame.begin() + std::ptrdiff_t(frame.size() / 2);
    return line->send({frame.begin(), middle}, deviceSpeed) && pause(config.splitReplyPauseMs) &&
           line->send({middle, frame.end()}, deviceSpeed);
}

bool SimulatedDevice::Impl::pause(int milliseconds) {
    if (milliseconds <= 0)
        return true;
    return line->waitUntil(Clock::now() + std::chrono::milliseconds(milliseconds));
}

SimulatedDevice::SimulatedDevice(Config config) : impl_(std::make_unique<Impl>(std::move(config))) {}

SimulatedDevice::~SimulatedDevice() = default;

bool SimulatedDevice::start() {
    return impl_->start();
}

std::string SimulatedDevice::startError() const {
    return impl_->error;
}

const std::string& SimulatedDevice::portPath() const {
    return impl_->portPath;
}

void SimulatedDevice::stop() {
    impl_->stop();
}

std::vector<Received> SimulatedDevice::transcript() const {
    return impl_->transcript.from(0);
}

std::vector<Received> SimulatedDevice::transcriptFrom(std::size_t first) const {
    return impl_->transcript.from(first);
}

std::size_t SimulatedDevice::transcriptSize() const {
    return impl_->transcript.size();
}

std::size_t SimulatedDevice::transcriptDropped() const {
    return impl_->transcript.dropped();
}

std::vector<std::uint16_t> SimulatedDevice::frameCodes() const {
    std::vector<std::uint16_t> codes;
    for (const Received& entry : impl_->transcript.from(0))
        if (entry.kind == Received::Kind::frame)
            codes.push_back(entry.code);
    return codes;
}

std::vector<std::uint8_t> SimulatedDevice::memory(std::uint32_t wordAddress, std::uint32_t bytes) const {
    return impl_->flash.read(2 * std::uint64_t(wordAddress), bytes);
}

void SimulatedDevice::setMemory(std::uint32_t wordAddress, const std::vector<std::uint8_t>& bytes) {
    impl_->flash.overwrite(2 * std::uint64_t(wordAddress), bytes.data(), bytes.size());
}

bool SimulatedDevice::inUpdateMode() const {
    return impl_->updateMode.load();
}

std::int32_t SimulatedDevice::speed() const {
    return impl_->speed.load();
}

int SimulatedDevice::chunksProgrammed() const {
    return impl_->commands.chunksProgrammed();
}

bool SimulatedDevice::finished() const {
    return impl_->finished.load();
}

bool SimulatedDevice::hungUp() const {
    return impl_->hungUp.load();
}

} // namespace sim

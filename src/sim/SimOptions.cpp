#include "sim/SimOptions.h"

#include "link/CodeNames.h"
#include "sim/LineSpeed.h"

namespace sim {

namespace {

const CLI::Validator commandCode(
    [](std::string& text) {
        return parseCode(text) ? std::string() : "not a command name or hexadecimal code: " + text;
    },
    "CODE");

const CLI::Validator lineSpeed(
    [](std::string& text) {
        try {
            std::size_t used = 0;
            const long speed = std::stol(text, &used);
            if (used == text.size() && speed > 0 && speed <= INT32_MAX && speedConstant(std::int32_t(speed)))
                return std::string();
        } catch (const std::exception&) {
        }
        return "not a line speed: " + text;
    },
    "SPEED");

void addCodeOption(CLI::App& app, const std::string& name, std::optional<std::uint16_t>& target,
                   const std::string& help) {
    app.add_option_function<std::string>(
           name, [&target](const std::string& text) { target = parseCode(text); }, help)
        ->check(commandCode);
}

} // namespace

void addSimOptions(CLI::App& app, Config& config) {
    app.add_option("--erase-time-ms", config.eraseTimeMs,
                   "Erase time announced in reply to EraseTimeQuery, in ms (may be 0 or negative)")
        ->capture_default_str();
    app.add_option("--erase-actual-ms", config.eraseActualMs,
                   "How long the erase really takes, in ms; -1: as announced")
        ->capture_default_str();
    app.add_flag("--line-model", config.lineModel,
                 "Model the serial line: 10 bits per byte at the current speed; bytes sent at another "
                 "speed than the device's arrive garbled");
    app.add_option("--initial-speed", config.initialSpeed, "Line speed before any speed command")
        ->check(lineSpeed)
        ->capture_default_str();
    app.add_flag("--silent", config.silent, "Answer nothing at all");
    addCodeOption(app, "--silent-on", config.silentOn, "Answer nothing to this command");
    addCodeOption(app, "--wrong-command-on", config.wrongCommandOn,
                  "Answer this command with a valid frame of another command byte");
    addCodeOption(app, "--bad-checksum-on", config.badChecksumOn,
                  "Answer this command with a wrong checksum");
    app.add_flag("--noise-between-frames", config.noiseBetweenFrames, "Send junk bytes before each reply");
    app.add_option("--split-reply-pause-ms", config.splitReplyPauseMs,
                   "Send each reply in two parts with this pause between them, in ms")
        ->check(CLI::NonNegativeNumber);
    app.add_flag("--error-on-erase", config.errorOnErase, "Answer EraseAll with ErrorReply");
    app.add_option("--error-on-chunk", config.errorOnChunk,
                   "Answer ProgramChunk number K (from 0, over the whole run) with ErrorReply")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--corrupt-chunk", config.corruptChunk,
                   "Acknowledge ProgramChunk number K (from 0) but store it with one bit flipped, as a "
                   "failing flash cell")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--hang-up-after", config.hangUpAfterChunks,
                   "Hang up the line when a chunk arrives after K acknowledged chunks, as an unplugged "
                   "adapter")
        ->check(CLI::NonNegativeNumber);
    app.add_flag("--short-erase-time-ack", config.shortEraseTimeAck,
                 "Answer EraseTimeQuery with fewer than four data bytes");
    app.add_option("--reply-delay-ms", config.replyDelayMs, "Wait this long before every reply, in ms")
        ->check(CLI::NonNegativeNumber);
    app.add_option("--link-path", config.linkPath,
                   "Also publish the port as a symbolic link at this path (replaced if it exists, "
                   "removed on exit)");
}

} // namespace sim

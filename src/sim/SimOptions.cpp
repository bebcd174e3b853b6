#include "sim/SimOptions.h"

#include "sim/LineSpeed.h"
#include "vtc880/CodeNames.h"

using namespace vtc880;

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

const CLI::Validator duration(
    [](std::string& text) {
        return parseDuration(text) ? std::string() : "not a duration (5s, 500ms): " + text;
    },
    "DURATION");

void addDurationOption(CLI::App& app, const std::string& name, std::chrono::milliseconds& target,
                       const std::string& help) {
    app.add_option_function<std::string>(
           name, [&target](const std::string& text) { target = *parseDuration(text); }, help)
        ->check(duration);
}

} // namespace

std::optional<std::chrono::milliseconds> parseDuration(const std::string& text) {
    double scale = 1000;
    std::string number = text;
    for (const auto& [unit, factor] : {std::pair{"ms", 1.0}, {"s", 1000.0}, {"m", 60000.0}}) {
        const std::string suffix = unit;
        if (number.size() > suffix.size() &&
            number.compare(number.size() - suffix.size(), suffix.size(), suffix) == 0) {
            number.resize(number.size() - suffix.size());
            scale = factor;
            break;
        }
    }
    if (number.empty() || number.find_first_not_of("0123456789.") != std::string::npos) {
        return std::nullopt;
    }
    try {
        std::size_t used = 0;
        const double value = std::stod(number, &used) * scale;
        if (used != number.size() || !(value >= 0) || value > 24.0 * 3600 * 1000) {
            return std::nullopt;
        }
        return std::chrono::milliseconds(static_cast<long long>(value));
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

void addLineOptions(CLI::App& app, Config& config) {
    CLI::App* group =
        app.add_option_group("Production line", "Boards coming and going on the --link-path socket");
    addDurationOption(*group, "--plug-every", config.line.plugEvery,
                      "Plug in a new board this often (the one before is unplugged first), e.g. 5s");
    group->add_flag("--unplug-after-finish", config.line.unplugAfterFinish,
                    "Unplug a board once it received Finish");
    addDurationOption(*group, "--unplug-after", config.line.unplugAfter,
                      "Unplug a board this long after it was plugged in");
    group->add_option("--boards", config.line.boards, "Plug in this many boards, then end (0: no end)")
        ->check(CLI::NonNegativeNumber);
    group
        ->add_option("--faults-every", config.line.faultsEvery,
                     "The fault options apply to every K-th board only (board K, 2K, ...); the others are "
                     "sound")
        ->check(CLI::PositiveNumber);
}

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

#include "python/Bindings.h"
#include "sim/LineSpeed.h"
#include "sim/SimulatedDevice.h"
#include "sim/TranscriptText.h"
#include "vtc880/CodeNames.h"

#include <chrono>
#include <memory>
#include <pybind11/stl.h>
#include <thread>

namespace vtc880::python {

namespace {

using SteadyTime = std::chrono::steady_clock::time_point;

// One thing the simulated device received, and when, counted from the simulator's start.
struct Received {
    sim::Received entry;
    SteadyTime origin;
};

const char* kindName(sim::Received::Kind kind) {
    switch (kind) {
    case sim::Received::Kind::ascii:
        return "ascii";
    case sim::Received::Kind::frame:
        return "frame";
    case sim::Received::Kind::badFrame:
        return "bad_frame";
    }
    return "";
}

std::optional<std::uint16_t> codeOption(const char* option, const py::object& value) {
    if (value.is_none()) {
        return std::nullopt;
    }
    if (py::isinstance<py::int_>(value)) {
        const long code = value.cast<long>();
        if (code < 0 || code > 0xFFFF) {
            throw py::value_error(std::string(option) + ": a command code is 0 to 0xFFFF");
        }
        return std::uint16_t(code);
    }
    const std::optional<std::uint16_t> code = parseCode(value.cast<std::string>());
    if (!code) {
        throw py::value_error(std::string(option) +
                              ": not a command name or hexadecimal code: " + value.cast<std::string>());
    }
    return code;
}

int countOption(const char* option, const py::object& value) {
    if (value.is_none()) {
        return -1;
    }
    const int count = value.cast<int>();
    if (count < 0) {
        throw py::value_error(std::string(option) + " counts from 0");
    }
    return count;
}

int nonNegative(const char* option, int value) {
    if (value < 0) {
        throw py::value_error(std::string(option) + " must not be negative");
    }
    return value;
}

// The simulated device on a pseudo-terminal of its own, for as long as the object is open.
class Simulator {
  public:
    explicit Simulator(const sim::Config& config) : device(std::make_unique<sim::SimulatedDevice>(config)) {
        origin = std::chrono::steady_clock::now();
        if (!device->start()) {
            raise("Error", "cannot start the simulated device: " + device->startError());
        }
    }

    sim::SimulatedDevice& open() const {
        if (!device) {
            throw py::value_error("the simulator is closed");
        }
        return *device;
    }
    void close() { device.reset(); }

    py::str port() const { return pathText(open().portPath()); }
    py::bytes memory(std::uint32_t wordAddress, std::uint32_t size) const {
        const std::vector<std::uint8_t> bytes = open().memory(wordAddress, size);
        return py::bytes(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    }
    void setMemory(std::uint32_t wordAddress, const py::bytes& data) {
        const std::string bytes = data;
        open().setMemory(wordAddress, std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    }
    std::vector<Received> transcript() const {
        std::vector<Received> entries;
        for (sim::Received& entry : open().transcript()) {
            entries.push_back({std::move(entry), origin});
        }
        return entries;
    }
    // The run's last bytes may still be on the modelled line when update() returns.
    bool waitForFinish(double timeout) const {
        sim::SimulatedDevice& simulated = open();
        py::gil_scoped_release released;
        const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout);
        while (!simulated.finished() && std::chrono::steady_clock::now() < end) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return simulated.finished();
    }
    std::vector<std::string> frames() const {
        std::vector<std::string> names;
        for (const std::uint16_t code : open().frameCodes()) {
            names.push_back(codeName(code));
        }
        return names;
    }

  private:
    std::unique_ptr<sim::SimulatedDevice> device;
    SteadyTime origin;
};

std::unique_ptr<Simulator> makeSimulator(int eraseTimeMs, int eraseActualMs, bool lineModel, int initialSpeed,
                                         bool silent, const py::object& silentOn,
                                         const py::object& wrongCommandOn, const py::object& badChecksumOn,
                                         bool noiseBetweenFrames, int splitReplyPauseMs, bool errorOnErase,
                                         const py::object& errorOnChunk, const py::object& corruptChunk,
                                         const py::object& hangUpAfter, bool shortEraseTimeAck,
                                         int replyDelayMs, const py::object& linkPath, bool keepTranscript) {
    sim::Config config;
    config.eraseTimeMs = eraseTimeMs;
    config.eraseActualMs = eraseActualMs;
    config.lineModel = lineModel;
    if (initialSpeed <= 0 || !sim::speedConstant(initialSpeed)) {
        throw py::value_error("initial_speed: not a line speed: " + std::to_string(initialSpeed));
    }
    config.initialSpeed = initialSpeed;
    config.silent = silent;
    config.silentOn = codeOption("silent_on", silentOn);
    config.wrongCommandOn = codeOption("wrong_command_on", wrongCommandOn);
    config.badChecksumOn = codeOption("bad_checksum_on", badChecksumOn);
    config.noiseBetweenFrames = noiseBetweenFrames;
    config.splitReplyPauseMs = nonNegative("split_reply_pause_ms", splitReplyPauseMs);
    config.errorOnErase = errorOnErase;
    config.errorOnChunk = countOption("error_on_chunk", errorOnChunk);
    config.corruptChunk = countOption("corrupt_chunk", corruptChunk);
    config.hangUpAfterChunks = countOption("hang_up_after", hangUpAfter);
    config.shortEraseTimeAck = shortEraseTimeAck;
    config.replyDelayMs = nonNegative("reply_delay_ms", replyDelayMs);
    config.linkPath = linkPath.is_none() ? std::string() : pathOf(linkPath);
    config.keepTranscript = keepTranscript;
    return std::make_unique<Simulator>(config);
}

} // namespace

void bindSimulator(py::module_& module) {
    py::class_<Received>(module, "Received", "One thing the simulated device received.")
        .def_property_readonly(
            "kind", [](const Received& r) { return kindName(r.entry.kind); },
            "\"ascii\" (a speed command), \"frame\", or \"bad_frame\" (a frame that failed its checks).")
        .def_property_readonly(
            "time",
            [](const Received& r) { return std::chrono::duration<double>(r.entry.time - r.origin).count(); },
            "When its first byte arrived, in seconds from the simulator's start.")
        .def_property_readonly(
            "text", [](const Received& r) { return py::bytes(r.entry.text).attr("decode")("latin-1"); },
            "ascii: the characters, e.g. \"1BR115200\\r\".")
        .def_property_readonly(
            "command",
            [](const Received& r) -> py::object {
                if (r.entry.kind == sim::Received::Kind::ascii) {
                    return py::none();
                }
                return py::str(codeName(r.entry.code));
            },
            "frame, bad_frame: the command's name (\"ProgramChunk\"), or its code in hexadecimal.")
        .def_property_readonly(
            "code", [](const Received& r) { return r.entry.code; }, "frame, bad_frame: the command code.")
        .def_property_readonly(
            "data",
            [](const Received& r) {
                return py::bytes(reinterpret_cast<const char*>(r.entry.data.data()), r.entry.data.size());
            },
            "frame, bad_frame: the data bytes (as far as they arrived).")
        .def_property_readonly(
            "speed", [](const Received& r) { return r.entry.speed; },
            "The device's line speed when it arrived.")
        .def("__str__", [](const Received& r) { return textOf(sim::describe(r.entry, r.origin)); });

    const sim::Config defaults;
    py::class_<Simulator>(
        module, "Simulator",
        "The simulated VTC880 on a pseudo-terminal, answering on a thread of its own as the "
        "device does, with the faults asked for. Give .port to update(); after the run read "
        "its .memory() and .transcript(). A context manager: closing it removes the port.")
        .def(py::init(&makeSimulator), py::kw_only(), py::arg("erase_time_ms") = defaults.eraseTimeMs,
             py::arg("erase_actual_ms") = defaults.eraseActualMs, py::arg("line_model") = defaults.lineModel,
             py::arg("initial_speed") = defaults.initialSpeed, py::arg("silent") = false,
             py::arg("silent_on") = py::none(), py::arg("wrong_command_on") = py::none(),
             py::arg("bad_checksum_on") = py::none(), py::arg("noise_between_frames") = false,
             py::arg("split_reply_pause_ms") = 0, py::arg("error_on_erase") = false,
             py::arg("error_on_chunk") = py::none(), py::arg("corrupt_chunk") = py::none(),
             py::arg("hang_up_after") = py::none(), py::arg("short_erase_time_ack") = false,
             py::arg("reply_delay_ms") = 0, py::arg("link_path") = py::none(),
             py::arg("keep_transcript") = true,
             "erase_time_ms: the erase time it announces; erase_actual_ms: how long the erase really takes "
             "(-1: as announced); line_model: each byte costs 10 bits at the line's speed, and bytes at "
             "another speed arrive garbled; initial_speed: its speed before any speed command (19200 for "
             "rs232, 921600 for usb). Faults: silent; silent_on, wrong_command_on, bad_checksum_on (a "
             "command's name or code); noise_between_frames; split_reply_pause_ms; error_on_erase; "
             "error_on_chunk, corrupt_chunk (a chunk's number from 0); hang_up_after (acknowledged chunks); "
             "short_erase_time_ack; reply_delay_ms. link_path: also publish the port as a link there.")
        .def_property_readonly("port", &Simulator::port, "The port to give to update(): /dev/pts/N.")
        .def("memory", &Simulator::memory, py::arg("word_address"), py::arg("size"),
             "`size` bytes of its flash from `word_address` (erased bytes read 0xFF).")
        .def("set_memory", &Simulator::setMemory, py::arg("word_address"), py::arg("data"),
             "Writes its flash directly, as if it held other firmware.")
        .def("transcript", &Simulator::transcript, "Everything it received, in order, as vtc880.Received.")
        .def_property_readonly("frames", &Simulator::frames,
                               "The commands of the valid frames it received, in order.")
        .def_property_readonly(
            "in_update_mode", [](const Simulator& s) { return s.open().inUpdateMode(); },
            "It received the update mode's preamble.")
        .def_property_readonly(
            "speed", [](const Simulator& s) { return s.open().speed(); }, "Its line speed now.")
        .def_property_readonly(
            "chunks_programmed", [](const Simulator& s) { return s.open().chunksProgrammed(); },
            "The program chunks it stored.")
        .def_property_readonly(
            "finished", [](const Simulator& s) { return s.open().finished(); }, "It received Finish.")
        .def("wait_for_finish", &Simulator::waitForFinish, py::arg("timeout") = 5.0,
             "Waits up to `timeout` seconds until it has received Finish; whether it has. With line_model, "
             "the last frame may still be on its way when update() returns.")
        .def_property_readonly(
            "hung_up", [](const Simulator& s) { return s.open().hungUp(); },
            "The hang-up fault closed its line.")
        .def("close", &Simulator::close, "Stops it and removes its port; closing again does nothing.")
        .def(
            "__enter__", [](Simulator& s) -> Simulator& { return s; }, py::return_value_policy::reference)
        .def("__exit__", [](Simulator& s, const py::args&) { s.close(); });
}

} // namespace vtc880::python

#include "python/Bindings.h"
#include "python/Image.h"
#include "vtc880/DeviceRuns.h"
#include "vtc880/Fields.h"
#include "vtc880/JobRecorder.h"
#include "vtc880/LinkTable.h"
#include "vtc880/PortName.h"
#include "vtc880/PortSelector.h"
#include "vtc880/ScaledClock.h"
#include "vtc880/TraceFile.h"

#include <chrono>
#include <memory>
#include <optional>
#include <pybind11/stl.h>

namespace vtc880::python {

namespace {

// One step of a run, as the progress callable is given it.
struct Progress {
    std::string port;
    Phase phase = Phase::speedSwitch;
    PhaseProgress measure; // all zero at a phase's start
    bool started = false;  // the phase has just begun: nothing measured yet
};

// How the run ended, with what the Python result says beside the library's.
struct Result {
    RunResult run;
    std::string port;
    std::string devicePath;
    int exitCode = 0;          // the tool's exit status for this run, its record included
    std::string recordProblem; // why its record was not written; empty when it was, or none was asked
};

// Programming and verify go by the image's bytes; the erase by time (the library counts its
// milliseconds, the module seconds), and so do the phases that are waits.
bool inBytes(const Progress& progress) {
    return progress.phase == Phase::programming || progress.phase == Phase::verify;
}

const char* unitOf(const Progress& progress) {
    return inBytes(progress) ? "bytes" : "seconds";
}

py::object amount(const Progress& progress, std::uint64_t value) {
    if (inBytes(progress)) {
        return py::int_(value);
    }
    return py::float_(double(value) / 1000.0);
}

// What the runs report, gathered while the interpreter's lock is let go and handed to Python after.
class Gathered : public DeviceRuns::Observer {
  public:
    void event(const DeviceEvent& event) override {
        ++taken;
        if (event.kind == DeviceEvent::Kind::phase) {
            Progress step;
            step.phase = event.phase;
            step.measure.phase = event.phase;
            step.started = true;
            steps.push_back(step);
        } else if (event.kind == DeviceEvent::Kind::progress) {
            Progress step;
            step.phase = event.progress.phase;
            step.measure = event.progress;
            steps.push_back(step);
        }
    }
    void ended(std::size_t, const RunResult& result, const std::string& problem) override {
        ++taken;
        run = result;
        recordProblem = problem;
    }

    std::size_t taken = 0;
    std::vector<Progress> steps;
    RunResult run;
    std::string recordProblem;
};

std::string portText(const py::object& port) {
    if (py::isinstance<Port>(port)) {
        return port.cast<const Port&>().name;
    }
    return pathOf(port);
}

const LinkEntry& linkOf(const std::string& name) {
    const LinkEntry* link = linkNamed(name);
    if (link == nullptr) {
        throw py::value_error("link: '" + name + "' is not a link: " + linkChoicesText());
    }
    return *link;
}

bool stopAsked(const py::object& stop) {
    return !stop.is_none() && stop.attr("is_set")().cast<bool>();
}

Result perform(Operation operation, const py::object& port, const py::object& image, const std::string& link,
               bool verify, bool speedSwitch, const py::object& progress, const py::object& trace,
               const py::object& record, const py::object& stop, int pauseScale) {
    if (!progress.is_none() && PyCallable_Check(progress.ptr()) == 0) {
        throw py::type_error("progress must be a callable (it is given one Progress per step)");
    }
    if (!stop.is_none() && !py::hasattr(stop, "is_set")) {
        throw py::type_error("stop must have is_set(), as a threading.Event has");
    }
    if (pauseScale < 1) {
        throw py::value_error("pause_scale must be 1 or more");
    }

    RunSettings job;
    job.operation = operation;
    job.link = linkOf(link).kind;
    job.speedSwitch = speedSwitch;
    job.verifyBeforeFinish = verify;
    const std::string label = portText(port);
    std::string problem;
    const std::optional<std::vector<std::string>> resolved = resolvePorts({label}, problem);
    if (!resolved) {
        raise("PortError", problem);
    }
    job.port = resolved->front();
    if (operation != Operation::erase) {
        if (image.is_none()) {
            throw py::type_error(std::string(operationName(operation)) +
                                 " needs an image: a path or a vtc880.Image");
        }
        if (py::isinstance<Image>(image)) {
            const Image& given = image.cast<const Image&>();
            job.image = given.copy;
            job.imagePath = given.facts.path;
        } else {
            job.imagePath = pathOf(image); // read and checked by the run: a refused image is its result
        }
        job.imageName = job.imagePath;
    }

    std::unique_ptr<TraceFile> traceFile;
    if (!trace.is_none()) {
        traceFile = std::make_unique<TraceFile>(pathOf(trace));
        if (!traceFile->problem().empty()) {
            raise("Error", traceFile->problem());
        }
        job.trace = traceFile->hookFor(label);
    }
    std::unique_ptr<JobRecorder> recorder;
    if (!record.is_none()) {
        recorder = std::make_unique<JobRecorder>(pathOf(record), job.imagePath, problem);
        if (!problem.empty()) {
            raise("RecordError", problem);
        }
    }

    std::unique_ptr<Clock> scaled;
    if (pauseScale > 1) {
        scaled = std::make_unique<ScaledClock>(pauseScale);
    }
    DeviceRuns runs({job}, recorder.get(), scaled ? *scaled : systemClock());
    Gathered gathered;
    bool interrupted = false;
    bool stopped = false;
    std::optional<py::error_already_set> failure; // raised by the callable or a signal handler
    runs.start();
    for (bool more = true; more;) {
        {
            py::gil_scoped_release released;
            more = runs.pump(gathered, std::chrono::milliseconds(50));
            // Whatever else is waiting, up to a batch, before the lock is taken again.
            for (std::size_t before = 0; more && gathered.steps.size() < 256 && before != gathered.taken;) {
                before = gathered.taken;
                more = runs.pump(gathered, std::chrono::milliseconds(0));
            }
        }
        for (Progress& step : gathered.steps) {
            step.port = label;
            if (!progress.is_none() && !failure) {
                try {
                    progress(step);
                } catch (py::error_already_set& error) {
                    // Ctrl-C may land while the callable runs: it is still the person's stop.
                    if (error.matches(PyExc_KeyboardInterrupt)) {
                        interrupted = true;
                    } else {
                        failure.emplace(std::move(error));
                    }
                }
            }
        }
        gathered.steps.clear();
        if (PyErr_CheckSignals() != 0) {
            py::error_already_set error;
            if (error.matches(PyExc_KeyboardInterrupt)) {
                interrupted = true;
            } else if (!failure) {
                failure.emplace(std::move(error));
            }
        }
        if (!stopped && (interrupted || failure || stopAsked(stop))) {
            // At its next safe point: the device ends in a state the result can name.
            stopped = true;
            runs.stop();
        }
    }

    Result result;
    result.run = gathered.run;
    result.port = label;
    result.devicePath = devicePathFor(job.port);
    result.exitCode = runs.exitStatus();
    result.recordProblem = gathered.recordProblem;
    if (failure) {
        throw std::move(*failure);
    }
    if (interrupted) {
        raise("Interrupted", result.run.text, py::cast(result));
    }
    return result;
}

py::dict phasesOf(const Result& result) {
    py::dict phases;
    for (std::size_t p = 0; p < phaseCount; ++p) {
        const auto time = result.run.report.times[p];
        if (time.count() > 0) {
            phases[phaseName(Phase(p))] = std::chrono::duration<double>(time).count();
        }
    }
    return phases;
}

py::object mismatchOf(const Result& result) {
    if (!result.run.report.mismatch) {
        return py::none();
    }
    const VerifyMismatch& where = *result.run.report.mismatch;
    py::dict mismatch;
    // Under the names, and with the block counted, as the JSON result gives them.
    mismatch[field::block] = where.block + 1;
    mismatch[field::wordAddress] = where.wordAddress;
    mismatch[field::offset] = where.blockOffset;
    mismatch[field::length] = where.length;
    mismatch[field::answered] = where.answered;
    return mismatch;
}

const char* runDoc(Operation operation) {
    switch (operation) {
    case Operation::update:
        return "Updates the device on `port` with `image` (a path or a vtc880.Image), exactly as `vtc880 "
               "update` does: the speed switch from the link's speed, the update mode, the erase, every "
               "block, (with verify=True) the whole image compared, then Finish.\n\n"
               "port: a port name or path, a usb: or path: selector, or a vtc880.Port. link: \"rs232\" "
               "(starts at 19200) or \"usb\" (starts at 921600). speed_switch=False: the device is at 115200 "
               "already. progress: called with a vtc880.Progress for each step, on this thread. trace: a "
               "file for every byte and frame on the line (\"-\": standard error), as --trace writes it. "
               "record: a record file to append this run's record to, as --record does. stop: an object "
               "with is_set() (a threading.Event): once set, the run stops at its next safe point. "
               "pause_scale: for the simulated device only, divides the run's pauses (a real device needs "
               "them whole).\n\n"
               "The run goes on a thread of its own while this one waits without the interpreter's lock, "
               "so threads that each update a port run in parallel. Returns a vtc880.Result for every way "
               "the run ends; .check() raises on failure. Ctrl-C stops the run at its next safe point and "
               "raises vtc880.Interrupted, whose .result says what the device holds.";
    case Operation::verify:
        return "Compares the device's memory on `port` with `image`, as `vtc880 verify` does; the device "
               "stays as it was. The arguments and the result are update()'s (without verify).";
    case Operation::erase:
        return "Erases the device's firmware on `port`, as `vtc880 erase` does. The arguments and the "
               "result are update()'s, without an image.";
    }
    return "";
}

void defineRuns(py::module_& module) {
    const char* link = links.front().name;
    module.def(
        "update",
        [](const py::object& port, const py::object& image, const std::string& link, bool verify,
           bool speedSwitch, const py::object& progress, const py::object& trace, const py::object& record,
           const py::object& stop, int pauseScale) {
            return perform(Operation::update, port, image, link, verify, speedSwitch, progress, trace, record,
                           stop, pauseScale);
        },
        runDoc(Operation::update), py::arg("port"), py::arg("image"), py::kw_only(), py::arg("link") = link,
        py::arg("verify") = false, py::arg("speed_switch") = true, py::arg("progress") = py::none(),
        py::arg("trace") = py::none(), py::arg("record") = py::none(), py::arg("stop") = py::none(),
        py::arg("pause_scale") = 1);
    module.def(
        "verify",
        [](const py::object& port, const py::object& image, const std::string& link, bool speedSwitch,
           const py::object& progress, const py::object& trace, const py::object& record,
           const py::object& stop, int pauseScale) {
            return perform(Operation::verify, port, image, link, false, speedSwitch, progress, trace, record,
                           stop, pauseScale);
        },
        runDoc(Operation::verify), py::arg("port"), py::arg("image"), py::kw_only(), py::arg("link") = link,
        py::arg("speed_switch") = true, py::arg("progress") = py::none(), py::arg("trace") = py::none(),
        py::arg("record") = py::none(), py::arg("stop") = py::none(), py::arg("pause_scale") = 1);
    module.def(
        "erase",
        [](const py::object& port, const std::string& link, bool speedSwitch, const py::object& progress,
           const py::object& trace, const py::object& record, const py::object& stop, int pauseScale) {
            return perform(Operation::erase, port, py::none(), link, false, speedSwitch, progress, trace,
                           record, stop, pauseScale);
        },
        runDoc(Operation::erase), py::arg("port"), py::kw_only(), py::arg("link") = link,
        py::arg("speed_switch") = true, py::arg("progress") = py::none(), py::arg("trace") = py::none(),
        py::arg("record") = py::none(), py::arg("stop") = py::none(), py::arg("pause_scale") = 1);
}

} // namespace

void bindRuns(py::module_& module) {
    py::class_<Progress>(module, "Progress", "One step of a run: a phase begun, or how far it has got.")
        .def_property_readonly(
            "port", [](const Progress& p) { return pathText(p.port); }, "The port as it was given.")
        .def_property_readonly(
            "phase", [](const Progress& p) { return phaseName(p.phase); },
            "The phase: speed_switch, update_mode, erase, programming, verify or finish.")
        .def_property_readonly(
            "done", [](const Progress& p) { return amount(p, p.measure.done); },
            "How far the phase has got, in .unit: bytes of the image, or seconds of the erase.")
        .def_property_readonly(
            "total", [](const Progress& p) { return amount(p, p.measure.total); },
            "The whole phase in .unit; 0 while it is not known (a phase just begun, or one not measured).")
        .def_property_readonly(
            "unit", [](const Progress& p) { return unitOf(p); },
            "\"bytes\" for programming and verify, \"seconds\" for the erase and the other phases.")
        .def_property_readonly(
            "block",
            [](const Progress& p) -> py::object {
                return p.measure.block < 0 ? py::object(py::none())
                                           : py::object(py::int_(p.measure.block + 1));
            },
            "The image block being sent, from 1; None when the phase sends none (yet).")
        .def_property_readonly(
            "blocks", [](const Progress& p) { return p.measure.blocks; },
            "The image's blocks; 0 outside programming and verify.")
        .def_readonly("started", &Progress::started, "True for the step that begins a phase.")
        .def("__repr__", [](const Progress& p) {
            return py::str("<vtc880.Progress {} {}: {} of {} {}>")
                .format(pathText(p.port), phaseName(p.phase), amount(p, p.measure.done),
                        amount(p, p.measure.total), unitOf(p));
        });

    py::class_<Result>(module, "Result",
                       "How a run ended and what the device now holds, under the names of the tool's JSON "
                       "result. .check() returns it when it is ok and raises otherwise.")
        .def_property_readonly(
            "ok", [](const Result& r) { return r.run.outcome == Outcome::succeeded; },
            "The operation succeeded (a record asked for may still have failed: see .exit_code).")
        .def_property_readonly(
            "outcome", [](const Result& r) { return outcomeName(r.run.outcome); },
            "succeeded, port (it did not open), port_lost, file (the image), no_answer, erase_failed, "
            "programming_failed, "
            "verify_failed, interrupted or no_worker.")
        .def_property_readonly(
            "state", [](const Result& r) { return deviceStateName(r.run.report.device.state); },
            "What the device holds: untouched, in_update_mode, erased, partly_programmed, "
            "programmed_not_finished or updated.")
        .def_readonly("exit_code", &Result::exitCode, "The tool's exit status for this run.")
        .def_property_readonly(
            "operation", [](const Result& r) { return operationName(r.run.operation); },
            "update, verify or erase.")
        .def_property_readonly(
            "port", [](const Result& r) { return pathText(r.port); }, "The port as it was given.")
        .def_property_readonly(
            "device_path", [](const Result& r) { return pathText(r.devicePath); }, "The device path opened.")
        .def_property_readonly(
            "bytes_programmed", [](const Result& r) { return r.run.report.device.bytesProgrammed; },
            "Bytes of the chunks the device acknowledged.")
        .def_property_readonly(
            "image_bytes", [](const Result& r) { return r.run.report.device.imageBytes; },
            "The data bytes of the image being programmed; 0 when none was.")
        .def_property_readonly(
            "bytes_verified", [](const Result& r) { return r.run.report.bytesVerified; },
            "Bytes the device found equal to the image.")
        .def_property_readonly(
            "erase_unconfirmed", [](const Result& r) { return r.run.report.device.eraseUnconfirmed; },
            "The erase went out but nothing confirmed it: the old firmware may be damaged.")
        .def_property_readonly(
            "last_word_address",
            [](const Result& r) -> py::object {
                const DeviceHolding& device = r.run.report.device;
                return device.state == DeviceState::partlyProgrammed
                           ? py::object(py::int_(device.lastWordAddress))
                           : py::object(py::none());
            },
            "partly_programmed: the word that holds the last byte acknowledged; otherwise None.")
        .def_property_readonly("mismatch", &mismatchOf,
                               "Where a verify found the device different (block from 1, word_address, "
                               "offset, length, answered), or None.")
        .def_property_readonly(
            "seconds", [](const Result& r) { return runSeconds(r.run.report); },
            "The sum of the phases' times.")
        .def_property_readonly("phases", &phasesOf, "Seconds spent in each phase entered, by phase name.")
        .def_property_readonly(
            "text", [](const Result& r) { return textOf(r.run.text); },
            "What the tool says of it, with what to do.")
        .def_property_readonly(
            "record_problem",
            [](const Result& r) -> py::object {
                return r.recordProblem.empty() ? py::object(py::none()) : py::object(textOf(r.recordProblem));
            },
            "Why the record asked for was not written; None when it was, or none was asked for.")
        .def("__repr__", [](const Result& r) {
            return py::str("<vtc880.Result {} {}: {}, {}>")
                .format(pathText(r.port), operationName(r.run.operation), outcomeName(r.run.outcome),
                        deviceStateName(r.run.report.device.state));
        });

    defineRuns(module);
}

} // namespace vtc880::python

#include "cli/SimulatedPorts.h"
#include "cli/StopRequest.h"
#include "cli/Subcommands.h"
#include "control/DeviceState.h"
#include "control/ExitStatus.h"
#include "control/ResultText.h"
#include "events/JsonEvents.h"
#include "image/ImageBuilder.h"
#include "image/ImageCheck.h"
#include "jobs/DeviceEvents.h"
#include "jobs/DeviceJob.h"
#include "link/DeviceCodes.h"
#include "link/RS232.h"
#include "ports/PortSelector.h"
#include "records/JobRecorder.h"
#include "terminal/Output.h"
#include "terminal/ProgressView.h"
#include "terminal/TraceFile.h"

#include <memory>
#include <system_error>
#include <thread>

namespace vtc880 {

namespace {

struct DeviceOptions {
    Operation operation = Operation::update;
    std::string image;
    std::vector<std::string> ports;
    std::string link = "rs232";
    bool verify = false;
    bool noSpeedSwitch = false;
    std::string trace;  // --trace: a file, or "-" for standard error
    std::string record; // --record FILE
    SimulatedPorts simulated;
};

// Stops the simulated devices when the run ends, however it ends.
struct SimulatedDevicesStop {
    SimulatedPorts& simulated;
    ~SimulatedDevicesStop() { simulated.stopAll(); }
};

// The device whose failure sets the exit status is the first failing one in the order of the command
// line, not the first to fail in time: the status then does not depend on which device was quicker.
int firstFailure(const std::vector<RunResult>& results) {
    for (const RunResult& result : results) {
        if (const int code = exitCodeFor(result.outcome); code != Exit::ok) {
            return code;
        }
    }
    return Exit::ok;
}

int run(DeviceOptions& options, bool json) {
    const Output out(json);
    // Before any thread starts, so that every thread inherits it.
    StopRequest signals;

    const bool simulate = options.simulated.requested();
    std::vector<std::string> labels = options.ports;
    if (simulate && labels.empty()) {
        labels.push_back("simulated");
    }

    // Read and checked once, before any port is touched; every device's run sends this one copy.
    std::shared_ptr<const FileCopy> image;
    if (options.operation != Operation::erase) {
        auto loaded = std::make_shared<FileCopy>();
        const LoadedImage check = loadImage(options.image, *loaded);
        if (!check.ok()) {
            out.problem(options.image + ": " + check.problem);
            RunResult refused;
            refused.outcome = Outcome::imageError;
            refused.imageProblem = check.problem;
            for (const std::string& label : labels) {
                out.event(resultEvent(label, options.operation, refused, Exit::file,
                                      resultText(refused, options.operation, {}, nullptr)));
            }
            out.event(summaryEvent(int(labels.size()), 0, Exit::file, false));
            return Exit::file;
        }
        image = std::move(loaded);
    }

    std::unique_ptr<JobRecorder> recorder;
    if (!options.record.empty()) {
        std::string problem;
        recorder = std::make_unique<JobRecorder>(
            options.record, options.operation == Operation::erase ? "" : options.image, problem);
        if (!problem.empty()) {
            out.problem(problem);
            return Exit::file;
        }
    }

    std::unique_ptr<TraceFile> trace;
    if (!options.trace.empty()) {
        trace = std::make_unique<TraceFile>(options.trace);
        if (!trace->problem().empty()) {
            out.problem(trace->problem());
            return Exit::file;
        }
    }

    const bool usb = options.link == "usb";
    const SimulatedDevicesStop stopSimulated{options.simulated};
    std::vector<RunSettings> jobs;
    std::vector<ViewedDevice> viewed;
    for (const std::string& label : labels) {
        RunSettings job;
        job.operation = options.operation;
        job.port = label;
        job.initialSpeed = usb ? Speed::usbInitial : Speed::rs232Initial;
        job.speedSwitch = !options.noSpeedSwitch;
        job.verifyBeforeFinish = options.verify;
        job.imagePath = options.image;
        job.imageName = options.image;
        job.image = image;
        if (trace) {
            job.trace = trace->hookFor(label);
        }
        if (simulate) {
            const std::string problem =
                options.simulated.start(job, options.noSpeedSwitch ? Speed::update : job.initialSpeed);
            if (!problem.empty()) {
                out.problem("cannot start the simulated device: " + problem);
                return Exit::port;
            }
        }
        jobs.push_back(job);
        viewed.push_back({label, runPlanOf(job)});
    }
    const std::string version = image ? imageVersion(*image) : std::string();
    for (std::size_t i = 0; i < labels.size(); ++i) {
        if (simulate) {
            out.say(labels[i] + ": a simulated device on " + jobs[i].port);
        }
        out.event(startEvent(labels[i], devicePathFor(jobs[i].port), viewed[i].plan, options.link,
                             options.image, version));
    }

    EventQueue queue;
    std::vector<std::unique_ptr<QueueObserver>> observers;
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    // Every observer exists before the first job starts: a job holds on to its own while the vector grows.
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        observers.push_back(std::make_unique<QueueObserver>(queue, int(i)));
    }
    std::vector<RunResult> results(jobs.size());
    std::vector<std::string> recordProblems(jobs.size()); // each written by its job before it ends
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const auto job = [&, i] {
            const auto started = std::chrono::system_clock::now();
            results[i] = runDevice(jobs[i], *observers[i], stop);
            if (recorder) {
                recordProblems[i] =
                    recorder->write(jobs[i], results[i], started, std::chrono::system_clock::now());
            }
            DeviceEvent done;
            done.device = int(i);
            done.kind = DeviceEvent::Kind::done;
            queue.push(std::move(done));
        };
        try {
            threads.emplace_back(job);
        } catch (const std::system_error&) {
            // The job's result stays "no worker"; the others run.
            results[i].outcome = Outcome::noWorker;
            DeviceEvent done;
            done.device = int(i);
            done.kind = DeviceEvent::Kind::done;
            queue.push(std::move(done));
        }
    }

    ProgressView view(out, std::move(viewed), ProgressView::styleFor(out));
    std::vector<std::string> texts(jobs.size());
    std::size_t finished = 0;
    bool interrupted = false;
    bool recordFailed = false;
    while (finished < jobs.size()) {
        DeviceEvent event;
        if (queue.pop(event, std::chrono::milliseconds(20))) {
            if (event.kind == DeviceEvent::Kind::done) {
                // The job's thread wrote its result before it posted this event.
                const std::size_t i = std::size_t(event.device);
                const RunResult& result = results[i];
                texts[i] = result.text;
                ++finished;
                view.ended(int(i), briefResult(result, jobs[i].operation));
                out.event(
                    resultEvent(labels[i], jobs[i].operation, result, exitCodeFor(result.outcome), texts[i]));
                if (!recordProblems[i].empty()) {
                    out.problem(recordProblems[i]);
                    recordFailed = true;
                }
            } else {
                view.apply(event);
            }
        }
        if (!interrupted && signals.arrived()) {
            interrupted = true;
            stop = true;
            view.problem("interrupted: stopping");
        }
        view.tick();
    }
    for (std::thread& thread : threads) {
        thread.join();
    }

    int status = interrupted ? Exit::interrupt : firstFailure(results);
    if (recordFailed && status == Exit::ok) {
        status = Exit::file; // a device without its record is not done
    }
    std::vector<std::string> lines;
    std::vector<std::string> failed;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        lines.push_back(resultLine(labels[i], results[i], texts[i]));
        if (results[i].outcome != Outcome::succeeded) {
            failed.push_back(labels[i]);
        }
    }
    if (jobs.size() > 1) {
        lines.push_back(totalText(options.operation, int(jobs.size()), failed, status));
    }
    view.finish(lines);
    out.event(summaryEvent(int(jobs.size()), int(jobs.size() - failed.size()), status, interrupted));
    return status;
}

void addDeviceCommand(CLI::App& app, CliContext& context, Operation operation) {
    auto options = std::make_shared<DeviceOptions>();
    options->operation = operation;
    const char* name = operation == Operation::update   ? "update"
                       : operation == Operation::verify ? "verify"
                                                        : "erase";
    const char* about = operation == Operation::update
                            ? "Program a firmware image into the device, as the window does"
                        : operation == Operation::verify ? "Compare the device's memory with a firmware image"
                                                         : "Erase the device's firmware";
    CLI::App* command = app.add_subcommand(name, about);
    if (operation != Operation::erase) {
        command->add_option("image", options->image, "The firmware image file")->required();
    }
    command
        ->add_option("-p,--port", options->ports,
                     "The serial port (COM1 .. COM10, ttyUSB0, /dev/...), or one chosen by what it is: "
                     "usb:VID:PID, usb:VID:PID:SERIAL, path:PATTERN (a glob over /dev/serial/by-path and "
                     "by-id names); give it several times to work on several devices at once")
        ->check(CLI::Validator(
            [](const std::string& port) {
                return port.empty()
                           ? std::string("a port name is needed (vtc880 ports lists the ports found)")
                           : std::string();
            },
            "PORT"));
    command
        ->add_option("--link", options->link,
                     "How the device is attached: rs232 (starts at 19200) or usb "
                     "(starts at 921600)")
        ->check(CLI::IsMember({"rs232", "usb"}))
        ->capture_default_str();
    if (operation == Operation::update) {
        command->add_flag(
            "--verify", options->verify,
            "Compare the whole image after the last chunk, before Finish; Finish only if equal");
    }
    command->add_flag("--no-speed-switch", options->noSpeedSwitch,
                      "Skip the speed commands: the device is already at 115200");
    command->add_option("--record", options->record,
                        "Append one JSON line per device to FILE (locked and flushed: safe for several "
                        "runs at once); vtc880 records FILE shows them");
    command->add_option("--trace", options->trace,
                        "Write every byte sent and received, with its time and line speed, and each frame "
                        "decoded, to FILE (- for standard error)");
    options->simulated.addOptions(*command);
    command->callback([&context, command, options] {
        if (options->ports.empty() && !options->simulated.requested()) {
            throw CLI::RequiredError("--port");
        }
        if (!options->simulated.requested()) {
            std::string problem;
            const std::optional<std::vector<std::string>> ports = resolvePorts(options->ports, problem);
            if (!ports) {
                throw CLI::ValidationError("--port", problem);
            }
            options->ports = *ports;
        }
        context.exitCode = run(*options, context.json);
    });
}

} // namespace

void addDeviceCommands(CLI::App& app, CliContext& context) {
    addDeviceCommand(app, context, Operation::update);
    addDeviceCommand(app, context, Operation::verify);
    addDeviceCommand(app, context, Operation::erase);
}

} // namespace vtc880

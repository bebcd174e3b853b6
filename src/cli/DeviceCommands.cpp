#include "cli/RunOptions.h"
#include "cli/SimulatedPorts.h"
#include "cli/StopRequest.h"
#include "cli/Subcommands.h"
#include "terminal/Output.h"
#include "terminal/ProgressView.h"
#include "vtc880/DeviceCodes.h"
#include "vtc880/DeviceJob.h"
#include "vtc880/DeviceRuns.h"
#include "vtc880/DeviceState.h"
#include "vtc880/ExitStatus.h"
#include "vtc880/ImageBuilder.h"
#include "vtc880/ImageCheck.h"
#include "vtc880/JobRecorder.h"
#include "vtc880/JsonEvents.h"
#include "vtc880/PortName.h"
#include "vtc880/PortSelector.h"
#include "vtc880/ResultText.h"
#include "vtc880/TraceFile.h"

#include <memory>
#include <system_error>

namespace vtc880 {

namespace {

struct DeviceOptions {
    Operation operation = Operation::update;
    std::string image;
    std::vector<std::string> ports;
    RunOptions run;
    std::string trace;                                       // --trace: a file, or "-" for standard error
    std::unique_ptr<Simulation> simulated = newSimulation(); // none where there is no simulated device

    bool simulate() const { return simulated && simulated->requested(); }
};

// Stops the simulated devices when the run ends, however it ends.
struct SimulatedDevicesStop {
    Simulation* simulated;
    ~SimulatedDevicesStop() {
        if (simulated != nullptr) {
            simulated->stopAll();
        }
    }
};

// The tool's view of the runs: each event to the device's line or log, each end to its result.
class RunsView : public DeviceRuns::Observer {
  public:
    RunsView(const Output& out, ProgressView& view, const std::vector<std::string>& labels)
        : out(out), view(view), labels(labels) {}

    void event(const DeviceEvent& event) override { view.apply(event); }
    void ended(std::size_t i, const RunResult& result, const std::string& recordProblem) override {
        view.ended(int(i), briefResult(result, result.operation));
        out.event(resultEvent(labels[i], result));
        if (!recordProblem.empty()) {
            out.problem(recordProblem);
        }
    }

  private:
    const Output& out;
    ProgressView& view;
    const std::vector<std::string>& labels;
};

int run(DeviceOptions& options, bool json) {
    const Output out(json);
    // Before any thread starts, so that every thread inherits it.
    StopRequest signals;

    const bool simulate = options.simulate();
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
            refused.operation = options.operation;
            refused.outcome = Outcome::imageError;
            refused.imageProblem = check.problem;
            refused.text = resultText(refused, options.operation, {}, nullptr);
            for (const std::string& label : labels) {
                out.event(resultEvent(label, refused));
            }
            out.event(summaryEvent(labels.size(), 0, Exit::file, false));
            return Exit::file;
        }
        image = std::move(loaded);
    }

    std::unique_ptr<JobRecorder> recorder;
    if (!options.run.record.empty()) {
        std::string problem;
        recorder = std::make_unique<JobRecorder>(
            options.run.record, options.operation == Operation::erase ? "" : options.image, problem);
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

    const SimulatedDevicesStop stopSimulated{options.simulated.get()};
    std::vector<RunSettings> jobs;
    std::vector<ViewedDevice> viewed;
    for (const std::string& label : labels) {
        RunSettings job;
        job.operation = options.operation;
        job.port = label;
        job.link = options.run.chosenLink().kind;
        job.speedSwitch = !options.run.noSpeedSwitch;
        job.verifyBeforeFinish = options.run.verify;
        job.imagePath = options.image;
        job.imageName = options.image;
        job.image = image;
        if (trace) {
            job.trace = trace->hookFor(label);
        }
        if (simulate) {
            const std::string problem = options.simulated->start(
                job, options.run.noSpeedSwitch ? Speed::update : linkEntry(job.link).initialSpeed);
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
        out.event(startEvent(labels[i], devicePathFor(jobs[i].port), viewed[i].plan, options.image, version));
    }

    DeviceRuns runs(jobs, recorder.get());
    ProgressView view(out, std::move(viewed), ProgressView::styleFor(out));
    RunsView shown(out, view, labels);
    runs.start();
    bool interrupted = false;
    while (runs.pump(shown, std::chrono::milliseconds(20))) {
        if (!interrupted && signals.arrived()) {
            interrupted = true;
            runs.stop();
            view.problem("interrupted: stopping");
        }
        view.tick();
    }

    const int status = runs.exitStatus();
    const std::vector<RunResult>& results = runs.results();
    std::vector<std::string> lines;
    std::vector<std::string> failed;
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        lines.push_back(resultLine(labels[i], results[i], results[i].text));
        if (results[i].outcome != Outcome::succeeded) {
            failed.push_back(labels[i]);
        }
    }
    if (jobs.size() > 1) {
        lines.push_back(totalText(options.operation, int(jobs.size()), failed, status));
    }
    view.finish(lines);
    out.event(summaryEvent(jobs.size(), runs.succeeded(), status, interrupted));
    return status;
}

void addDeviceCommand(CLI::App& app, CliContext& context, Operation operation) {
    auto options = std::make_shared<DeviceOptions>();
    options->operation = operation;
    const char* name = operationName(operation);
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
    addRunOptions(*command, options->run, operation == Operation::update, "the device is");
    command->add_option("--trace", options->trace,
                        "Write every byte sent and received, with its time and line speed, and each frame "
                        "decoded, to FILE (- for standard error)");
    if (options->simulated) {
        options->simulated->addOptions(*command);
    }
    command->callback([&context, command, options] {
        if (options->ports.empty() && !options->simulate()) {
            throw CLI::RequiredError("--port");
        }
        if (!options->simulate()) {
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

namespace {

void addDeviceCommands(CLI::App& app, CliContext& context) {
    addDeviceCommand(app, context, Operation::update);
    addDeviceCommand(app, context, Operation::verify);
    addDeviceCommand(app, context, Operation::erase);
}

const bool registered = registerCommand(place::device, addDeviceCommands);

} // namespace

} // namespace vtc880

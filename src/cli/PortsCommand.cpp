#include "cli/Subcommands.h"
#include "control/ExitStatus.h"
#include "json/Fields.h"
#include "ports/PortInfo.h"
#include "terminal/Output.h"
#include "terminal/PortInfoText.h"

namespace vtc880 {

namespace {

void addPortsCommand(CLI::App& app, CliContext& context) {
    CLI::App* ports =
        app.add_subcommand("ports", "List the serial ports found, what the system says of them, "
                                    "and whether you may open each");
    ports->callback([&context] {
        const Output out(context.json);
        const std::vector<PortInfo> found = describeSerialPorts();
        if (found.empty()) {
            out.say(noPortsFoundText());
        }
        for (const PortInfo& port : found) {
            for (const std::string& line : portInfoLines(port)) {
                out.say(line);
            }
            Json event;
            event[field::event] = event::port;
            event[field::name] = port.name;
            event[field::device] = port.device;
            event[field::driver] = port.driver;
            event[field::usb] = port.usb;
            event[field::usbSerial] = port.serial;
            event[field::byId] = port.byId;
            event[field::mayOpen] = port.mayOpen;
            if (port.latencyTimerMs >= 0) {
                event[field::latencyTimerMs] = port.latencyTimerMs;
            }
            out.event(event);
        }
        context.exitCode = Exit::ok;
    });
}

const bool registered = registerCommand(place::ports, addPortsCommand);

} // namespace

} // namespace vtc880

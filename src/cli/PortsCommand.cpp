#include "cli/Subcommands.h"
#include "terminal/Output.h"
#include "terminal/PortLines.h"
#include "vtc880/ExitStatus.h"
#include "vtc880/Fields.h"
#include "vtc880/PortInventory.h"

namespace vtc880 {

namespace {

void addPortsCommand(CLI::App& app, CliContext& context) {
    CLI::App* ports =
        app.add_subcommand("ports", "List the serial ports found, what the system says of them, "
                                    "and whether you may open each");
    ports->callback([&context] {
        const Output out(context.json);
        const std::vector<Port> found = listPorts();
        if (found.empty()) {
            out.say(noPortsFoundText());
        }
        for (const Port& port : found) {
            for (const std::string& line : portInfoLines(port)) {
                out.say(line);
            }
            Json event;
            event[field::event] = event::port;
            event[field::name] = port.name;
            event[field::device] = port.device;
            event[field::driver] = port.driver;
            event[field::usb] = usbText(port);
            event[field::usbSerial] = port.usb.serial;
            event[field::byId] = port.byId.empty() ? std::string() : port.byId.front();
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

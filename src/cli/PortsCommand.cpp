#include "cli/Subcommands.h"
#include "control/ExitStatus.h"
#include "ports/PortInventory.h"
#include "terminal/Output.h"
#include "terminal/PortInfoText.h"

namespace vtc880 {

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
            JsonObject event;
            event.add("event", "port")
                .add("name", port.name)
                .add("device", port.device)
                .add("driver", port.driver)
                .add("usb", usbText(port))
                .add("serial", port.usb.serial)
                .add("by_id", port.byId.empty() ? std::string() : port.byId.front())
                .add("may_open", port.mayOpen);
            if (port.latencyTimerMs >= 0) {
                event.add("latency_timer_ms", std::int64_t(port.latencyTimerMs));
            }
            out.event(event);
        }
        context.exitCode = Exit::ok;
    });
}

} // namespace vtc880

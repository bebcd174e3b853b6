#include "cli/ExitCodes.h"
#include "cli/Output.h"
#include "cli/PortInfo.h"
#include "cli/Subcommands.h"

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
            out.say(port.name);
            std::string line = "  device " + port.device;
            if (!port.driver.empty()) {
                line += "  driver " + port.driver;
            }
            out.say(line);
            if (!port.usb.empty()) {
                out.say("  usb " + port.usb + (port.serial.empty() ? "" : "  serial " + port.serial));
            }
            if (!port.byId.empty() && port.byId != port.name) {
                out.say("  by-id " + port.byId);
            }
            out.say(port.mayOpen ? "  you may open it" : "  you may not open it: " + port.accessNote);
            out.event(JsonObject()
                          .add("event", "port")
                          .add("name", port.name)
                          .add("device", port.device)
                          .add("driver", port.driver)
                          .add("usb", port.usb)
                          .add("serial", port.serial)
                          .add("byId", port.byId)
                          .add("mayOpen", port.mayOpen));
        }
        context.exitCode = Exit::ok;
    });
}

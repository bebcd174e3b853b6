#include "python/Bindings.h"
#include "vtc880/PortDiscovery.h"
#include "vtc880/PortInventory.h"
#include "vtc880/PortSelector.h"

#include <pybind11/stl.h>

namespace vtc880::python {

namespace {

std::string firstOf(const std::vector<std::string>& names) {
    return names.empty() ? std::string() : names.front();
}

Port selectPort(const std::string& text) {
    std::string problem;
    const std::optional<PortSelector> selector = parsePortSelector(text, problem);
    if (!selector) {
        raise("PortError", problem);
    }
    const std::vector<Port> ports = inventoryPorts();
    std::string device;
    if (selector->kind == PortSelector::Kind::name) {
        if (!namesSerialPort(text)) {
            std::string found;
            for (const Port& port : ports) {
                found += "\n  " + describePort(port);
            }
            raise("PortError", text + ": no serial port of that name here" +
                                   (found.empty() ? std::string(" (no serial ports found)") : found));
        }
        device = deviceOf(text);
    } else {
        const std::optional<std::string> path = resolvePort(text, ports, problem);
        if (!path) {
            raise("PortError", problem);
        }
        device = *path;
    }
    for (const Port& port : ports) {
        if (port.device == device) {
            return port;
        }
    }
    // A port the listing does not show (a pseudo-terminal such as the simulated device's).
    Port named;
    named.name = text;
    named.device = device;
    return named;
}

std::vector<Port> findPorts(const std::string& text) {
    std::string problem;
    const std::optional<PortSelector> selector = parsePortSelector(text, problem);
    if (!selector) {
        raise("PortError", problem);
    }
    std::vector<Port> found;
    for (Port& port : inventoryPorts()) {
        if (selects(*selector, port)) {
            found.push_back(std::move(port));
        }
    }
    return found;
}

} // namespace

void bindPorts(py::module_& module) {
    py::class_<Port>(module, "Port", "A serial port present now, and what the system says of it.")
        .def_property_readonly(
            "name", [](const Port& port) { return pathText(port.name); },
            "The name to give as the port: its stable serial/by-id name where it has one, else its device.")
        .def_property_readonly(
            "device", [](const Port& port) { return pathText(port.device); },
            "The device itself, links resolved (/dev/ttyUSB0).")
        .def_property_readonly(
            "by_id", [](const Port& port) { return pathText(firstOf(port.byId)); },
            "Its name under /dev/serial/by-id; empty when it has none.")
        .def_property_readonly(
            "by_path", [](const Port& port) { return pathText(firstOf(port.byPath)); },
            "Its name under /dev/serial/by-path (the USB socket); empty when it has none.")
        .def_property_readonly(
            "usb_vendor", [](const Port& port) { return port.usb.vendorId; },
            "The USB adapter's vendor id, hexadecimal (\"0403\"); empty for a port that is not USB.")
        .def_property_readonly(
            "usb_product", [](const Port& port) { return port.usb.productId; },
            "The USB adapter's product id, hexadecimal (\"6001\"); empty for a port that is not USB.")
        .def_property_readonly(
            "usb_serial", [](const Port& port) { return textOf(port.usb.serial); },
            "The USB adapter's serial number; empty when it has none.")
        .def_property_readonly(
            "usb", [](const Port& port) { return textOf(usbText(port)); },
            "The USB adapter in words (\"0403:6001 FTDI FT232R USB UART\"); empty for another port.")
        .def_property_readonly(
            "driver", [](const Port& port) { return port.driver; },
            "The kernel's driver; empty when unknown.")
        .def_property_readonly(
            "may_open", [](const Port& port) { return port.mayOpen; }, "Whether this user may open it.")
        .def_property_readonly(
            "access_note", [](const Port& port) { return textOf(port.accessNote); },
            "Why this user may not open it, and what to do; empty when they may.")
        .def_property_readonly(
            "latency_timer_ms",
            [](const Port& port) -> py::object {
                return port.latencyTimerMs < 0 ? py::object(py::none())
                                               : py::object(py::int_(port.latencyTimerMs));
            },
            "A USB adapter's latency timer in milliseconds; None for a port without one.")
        .def("__str__", [](const Port& port) { return textOf(describePort(port)); })
        .def("__repr__", [](const Port& port) {
            return py::str("<vtc880.Port {!r} on {!r}>").format(pathText(port.name), pathText(port.device));
        });

    module.def(
        "ports", [] { return listPorts(); },
        "The serial ports present, as `vtc880 ports` lists them: USB adapters by their stable names "
        "first, then the others.");
    module.def("select_port", &selectPort, py::arg("selector"),
               "The one port a selector picks: usb:VID:PID, usb:VID:PID:SERIAL, path:PATTERN (a glob over "
               "the /dev/serial/by-path and by-id names), or a port's name. Raises PortError, naming the "
               "ports found, when none or several match.");
    module.def("find_ports", &findPorts, py::arg("selector"),
               "Every port present that a selector picks (see select_port), in the order ports() lists "
               "them; an empty list when none does. Raises PortError for a malformed selector.");
}

} // namespace vtc880::python

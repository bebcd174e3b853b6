#pragma once

#include "SlavePort.h"
#include "sim/SimulatedDevice.h"
#include "vtc880/DeviceCodes.h"

#include <gtest/gtest.h>
#include <memory>

using namespace vtc880;

namespace simtest {

// A running simulated device and the tests' end of its line.
struct Rig {
    std::unique_ptr<sim::SimulatedDevice> device;
    std::unique_ptr<SlavePort> port;

    testing::AssertionResult start(const sim::Config& config = {}) {
        device = std::make_unique<sim::SimulatedDevice>(config);
        if (!device->start())
            return testing::AssertionFailure() << "start: " << device->startError();
        port = std::make_unique<SlavePort>(device->portPath(), config.initialSpeed);
        if (!port->isOpen())
            return testing::AssertionFailure() << "cannot open " << device->portPath();
        return testing::AssertionSuccess();
    }

    testing::AssertionResult startInUpdateMode(const sim::Config& config = {}) {
        testing::AssertionResult started = start(config);
        if (!started)
            return started;
        port->write(std::string(Preamble::firmwareUpdate) + Preamble::enterUpdate);
        if (!eventually([&] { return device->inUpdateMode(); }))
            return testing::AssertionFailure() << "the preamble did not enter update mode";
        return testing::AssertionSuccess();
    }

    SlavePort::Reply ask(std::uint16_t code, const Bytes& data = {}) {
        port->write(commandFrame(code, data));
        return port->readReply();
    }

    // Bytes that arrive in a while after the request: none is expected.
    Bytes askExpectingSilence(std::uint16_t code, const Bytes& data = {}) {
        port->write(commandFrame(code, data));
        return port->readFor(300ms);
    }
};

inline const Bytes ackFrame{0x2A, 0x21, 0x00, 0x00, 0x00, 0x00, 0x2B, 0x76};
inline const Bytes errorFrame{0x2A, 0x45, 0x00, 0x00, 0x00, 0x00, 0x2B, 0x9A};

} // namespace simtest

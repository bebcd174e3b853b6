#include "control/ProtocoleLink.h"

#include "link/DeviceCodes.h"

void ProtocoleLink::purge() {
    p.purge();
}

void ProtocoleLink::send(std::uint16_t code, std::uint32_t size, const std::uint8_t* data) {
    p.send(code, size, data);
}

void ProtocoleLink::setPollTimeout(std::uint32_t milliseconds) {
    p.timeOut(milliseconds);
}

void ProtocoleLink::extract() {
    p.extract();
}

void ProtocoleLink::sendDownload() {
    p.sendDownload();
}

bool ProtocoleLink::commandReady() const {
    return p.commandReady;
}

void ProtocoleLink::setCommandReady(bool ready) {
    p.commandReady = ready;
}

std::uint8_t ProtocoleLink::command() const {
    return p.command;
}

std::uint32_t ProtocoleLink::dataSize() const {
    return p.dataSize;
}

const std::uint8_t* ProtocoleLink::data() const {
    return p.data.get();
}

std::uint32_t ProtocoleLink::dataCapacity() const {
    return Frame::receiveCapacity;
}

#include "link/Link.h"

#include "vtc880/DeviceCodes.h"

namespace vtc880 {

Link::Link() : data(std::make_unique<std::uint8_t[]>(Frame::receiveCapacity)) {}

Link::~Link() = default;

} // namespace vtc880

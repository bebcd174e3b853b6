#pragma once

#include <string>

namespace vtc880 {

// The USB adapter a serial device belongs to, as the system describes it.
struct UsbIdentity {
    std::string vendorId;  // hexadecimal as the system writes it ("0403"); empty when not a USB port
    std::string productId; // "6001"
    std::string manufacturer;
    std::string product;
    std::string serial; // the adapter's serial number, when it has one
};

} // namespace vtc880

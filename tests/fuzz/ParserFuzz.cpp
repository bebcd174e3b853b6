#include "link/Protocole.h"
#include "vtc880/DeviceCodes.h"

#include <cstdint>
#include <cstdlib>

using namespace vtc880;

// Any bytes from the line: the parser must never write past its buffer, never leave its states, and
// never call a frame ready whose data it could not hold.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static Protocole parser("", 0); // no port: only the parser is used
    for (std::size_t k = 0; k < size; ++k) {
        // Callers clear the flag before each wait; the parser only ever sets it at a frame's end.
        parser.commandReady = false;
        parser.parse(bytes[k]);
        if (parser.parserState() > 5) {
            std::abort();
        }
        if (parser.commandReady && (parser.parserState() != 0 || parser.dataSize > Frame::receiveCapacity)) {
            std::abort();
        }
    }
    return 0;
}

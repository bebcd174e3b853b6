#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace vtc880 {

// What the device holds after a run, taken from what it acknowledged, never guessed.
enum class DeviceState {
    untouched,             // nothing reached it past the speed commands
    inUpdateMode,          // the update-mode preamble went out; nothing was erased
    erased,                // the erase was acknowledged; no chunk was
    partlyProgrammed,      // some chunks were acknowledged, not all
    programmedNotFinished, // every chunk was acknowledged; Finish was not sent
    updated,               // Finish went out after every chunk was acknowledged
};

// The state's name in the JSON events, the records and the Python module ("in_update_mode").
const char* deviceStateName(DeviceState state);
std::optional<DeviceState> deviceStateNamed(std::string_view name);

struct DeviceHolding {
    DeviceState state = DeviceState::untouched;
    // EraseAll went out but was neither acknowledged nor followed by a chunk: the device may have
    // begun to erase, so its old firmware may be damaged although nothing confirmed an erase.
    bool eraseUnconfirmed = false;
    std::uint64_t bytesProgrammed = 0; // bytes of the chunks the device acknowledged
    std::uint32_t lastWordAddress = 0; // word that holds the last byte acknowledged
    std::uint64_t imageBytes = 0;      // the image being programmed; 0 when nothing is
};

} // namespace vtc880

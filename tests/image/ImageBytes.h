#pragma once

#include "TempDir.h"

#include <cstdint>
#include <string>
#include <vector>

using namespace vtc880;

// Image files written byte by byte, for cases the writer would never produce.
using Bytes = std::vector<std::uint8_t>;

// One record: its size and word address, then `dataBytes` bytes of a pattern (all `size` unless cut).
inline Bytes record(std::uint32_t size, std::uint32_t address, std::size_t dataBytes = SIZE_MAX) {
    Bytes out;
    for (std::uint32_t v : {size, address}) {
        for (int i = 0; i < 4; ++i) {
            out.push_back(std::uint8_t(v >> (8 * i)));
        }
    }
    const Bytes data = pattern(dataBytes == SIZE_MAX ? size : dataBytes);
    out.insert(out.end(), data.begin(), data.end());
    return out;
}

inline Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

inline Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

inline const Bytes versionBlock = record(4, 0x50002);

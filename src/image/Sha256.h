#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace vtc880 {

// SHA-256 (FIPS 180-4), for the image fingerprint in a device record.
class Sha256 {
  public:
    void update(const std::uint8_t* data, std::size_t size);
    void update(std::string_view bytes) {
        update(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    }
    std::array<std::uint8_t, 32> finish(); // once; the object is spent afterwards

  private:
    std::array<std::uint32_t, 8> state{0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                       0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::array<std::uint8_t, 64> block{};
    std::size_t filled = 0;
    std::uint64_t length = 0; // bytes so far
    void compress();
};

// The digest of `bytes` in lower-case hexadecimal.
std::string sha256Hex(std::string_view bytes);

} // namespace vtc880

#pragma once

#include "common/TempDirectory.h"
#include "vtc880/FileCopy.h"

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

using namespace vtc880;

// A fresh directory per test, made the working directory (recipes name their files relative to it).
class TempDir {
  public:
    TempDir() {
        path_ = makeTempDirectory("vtc880-test-");
        previous_ = std::filesystem::current_path();
        std::filesystem::current_path(path_);
    }
    ~TempDir() {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(path_);
    }
    const std::filesystem::path& path() const { return path_; }
    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

  private:
    std::filesystem::path path_;
    std::filesystem::path previous_;
};

inline void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline void writeText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path) << text;
}

inline std::vector<std::uint8_t> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline std::vector<std::uint8_t> blockBytes(const FileBlock& block) {
    return {block.data.get(), block.data.get() + block.size};
}

// Bytes 0, 1, 2 ... of the given length, so that misplaced or lost bytes show.
inline std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed = 0) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = std::uint8_t(seed + i * 7);
    }
    return bytes;
}

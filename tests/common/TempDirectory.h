#pragma once

#include <filesystem>
#include <random>
#include <stdexcept>
#include <string>
#include <system_error>

// Makes a new, empty directory under the system's temporary folder, its name starting with
// `prefix`. Portable where mkdtemp is not (Windows).
inline std::filesystem::path makeTempDirectory(const std::string& prefix) {
    std::random_device seed;
    std::mt19937_64 random(seed());
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::filesystem::path candidate = base / (prefix + std::to_string(random()));
        std::error_code error;
        if (std::filesystem::create_directory(candidate, error)) {
            return candidate;
        }
    }
    throw std::runtime_error("cannot make a temporary directory under " + base.string());
}

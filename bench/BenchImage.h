#pragma once

#include "vtc880/FileCopy.h"

#include <cstdint>
#include <filesystem>
#include <string>

using namespace vtc880;

// A firmware image for the benchmarks: the version block and `bytes` (up to 1 MiB) of pseudo-random
// data at word address 0x80000, clear of the version block, written to a file in a fresh temporary
// folder that goes with the object.
class BenchImage {
  public:
    explicit BenchImage(std::uint32_t bytes);
    ~BenchImage();
    BenchImage(const BenchImage&) = delete;
    BenchImage& operator=(const BenchImage&) = delete;

    const FileCopy& image() const { return list; }
    std::string path() const { return file.string(); }
    int chunks() const; // ProgramChunk frames it takes

  private:
    FileCopy list;
    std::filesystem::path dir;
    std::filesystem::path file;
};

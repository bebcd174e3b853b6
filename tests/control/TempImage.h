#pragma once

#include "vtc880/FileCopy.h"

#include <filesystem>
#include <string>

using namespace vtc880;

// A firmware image file in a fresh directory, removed with the object.
class TempImage {
  public:
    explicit TempImage(const FileCopy& image);
    ~TempImage();
    TempImage(const TempImage&) = delete;
    TempImage& operator=(const TempImage&) = delete;

    std::string path() const { return file.string(); }
    std::string missingPath() const { return (dir / "missing.bin").string(); }

  private:
    std::filesystem::path dir;
    std::filesystem::path file;
};

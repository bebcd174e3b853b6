#pragma once

#include "image/FileCopy.h"

#include <string>

// An image file as an update will send it: read whole and checked before anything reaches a device.
struct LoadedImage {
    // For a person: what is wrong with the file and what to do about it. Empty when it can be sent.
    std::string problem;
    bool ok() const { return problem.empty(); }
};

// Reads `path` into `image` (emptied first) and checks that it can be sent as it is.
LoadedImage loadImage(const std::string& path, FileCopy& image);

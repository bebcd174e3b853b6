#pragma once

#include "image/ImageFile.h"

#include <string>

// What is wrong with an image file, for a person: empty when it was read whole.
std::string imageProblem(const ImageReadResult& result);

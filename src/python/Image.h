#pragma once

#include "vtc880/FileCopy.h"
#include "vtc880/ImageFacts.h"

#include <memory>

namespace vtc880::python {

// An image as Python holds it: read and checked once, then sent as it is to every device it is given
// for, and its file's facts for the records.
struct Image {
    std::shared_ptr<const FileCopy> copy;
    ImageFacts facts;
};

} // namespace vtc880::python

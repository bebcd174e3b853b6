#include "TempImage.h"

#include "common/TempDirectory.h"
#include "vtc880/ImageFile.h"

#include <gtest/gtest.h>

using namespace vtc880;

TempImage::TempImage(const FileCopy& image) {
    dir = makeTempDirectory("vtc880-control-");
    file = dir / "firmware.hex";
    EXPECT_EQ(firmwareCreate(file.string(), image), 0);
}

TempImage::~TempImage() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

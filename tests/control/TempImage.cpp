#include "TempImage.h"

#include "image/ImageFile.h"

#include <gtest/gtest.h>
#include <stdlib.h>

TempImage::TempImage(const FileCopy& image) {
    std::string pattern = (std::filesystem::temp_directory_path() / "vtc880-control-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        ADD_FAILURE() << "no temporary directory";
    }
    dir = pattern;
    file = dir / "firmware.hex";
    EXPECT_EQ(firmwareCreate(file.string(), image), 0);
}

TempImage::~TempImage() {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
}

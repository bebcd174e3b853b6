#include "image/ImageCheck.h"

#include "image/ImageFile.h"

LoadedImage loadImage(const std::string& path, FileCopy& image) {
    image = FileCopy();
    const ImageReadResult read = readImageFile(path, image);
    if (read.status == ImageReadStatus::cannotOpen) {
        return {"cannot open the file: check the path"};
    }
    if (read.status != ImageReadStatus::ok) {
        return {"cannot read the firmware image"};
    }
    return {};
}

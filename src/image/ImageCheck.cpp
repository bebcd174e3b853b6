#include "vtc880/ImageCheck.h"

#include "vtc880/ImageFile.h"
#include "vtc880/ImageProblem.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace vtc880 {

namespace {

bool isHexDigit(int c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// A text image that the packer never writes: Intel HEX (":10...") or S-records ("S0..." to "S9...").
// Only asked of a file that did not read as an image. Three hexadecimal digits behind the mark would
// make a binary image's first record close to 1 GB, so the two are not mistaken for each other.
ImageFault textFault(const std::string& path, std::string& problem) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return ImageFault::none;
    }
    unsigned char start[4] = {};
    const std::size_t got = std::fread(start, 1, sizeof start, file);
    std::fclose(file);
    if (got < sizeof start) {
        return ImageFault::none;
    }
    if (start[0] == ':' && isHexDigit(start[1]) && isHexDigit(start[2]) && isHexDigit(start[3])) {
        problem = intelHexProblem();
        return ImageFault::textFile;
    }
    if (start[0] == 'S' && start[1] >= '0' && start[1] <= '9' && isHexDigit(start[2]) &&
        isHexDigit(start[3])) {
        problem = sRecordProblem();
        return ImageFault::textFile;
    }
    return ImageFault::none;
}

ImageFault faultOf(ImageReadStatus status) {
    switch (status) {
    case ImageReadStatus::ok:
        return ImageFault::none;
    case ImageReadStatus::cannotOpen:
        return ImageFault::cannotOpen;
    case ImageReadStatus::readError:
        return ImageFault::readError;
    case ImageReadStatus::truncated:
        return ImageFault::truncated;
    case ImageReadStatus::tooManyBlocks:
        return ImageFault::tooManyBlocks;
    }
    return ImageFault::readError;
}

ImageFault faultOf(BlockFault::Kind kind) {
    switch (kind) {
    case BlockFault::Kind::empty:
        return ImageFault::empty;
    case BlockFault::Kind::pastLastWord:
        return ImageFault::pastLastWord;
    case BlockFault::Kind::overlap:
        return ImageFault::overlap;
    }
    return ImageFault::empty;
}

} // namespace

LoadedImage loadImage(const std::string& path, FileCopy& image) {
    image = FileCopy();
    LoadedImage loaded;
    std::error_code error;
    // Some systems open a directory for reading and only fail the first read.
    if (!path.empty() && std::filesystem::is_directory(path, error)) {
        loaded.fault = ImageFault::directory;
        loaded.problem = directoryProblem();
        return loaded;
    }
    const ImageReadResult read = readImageFile(path, image);
    if (read.status != ImageReadStatus::ok) {
        loaded.fault =
            read.status == ImageReadStatus::cannotOpen ? ImageFault::none : textFault(path, loaded.problem);
        if (loaded.fault == ImageFault::none) {
            loaded.fault = faultOf(read.status);
            loaded.problem = imageProblem(read);
        }
        return loaded;
    }
    loaded.blockFaults = checkBlocks(image);
    if (!loaded.blockFaults.empty()) {
        const BlockFault& first = loaded.blockFaults.front();
        loaded.fault = faultOf(first.kind);
        // The reader ends at the file's end: an offset of 0 there is a file without a byte.
        loaded.problem = first.kind == BlockFault::Kind::empty ? emptyImageProblem(read.offset == 0)
                                                               : blockProblem(first, image);
    }
    return loaded;
}

} // namespace vtc880

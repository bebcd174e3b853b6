#include "vtc880/ImageFacts.h"

#include "image/Sha256.h"
#include "vtc880/ImageBuilder.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace vtc880 {

std::optional<std::string> readWholeFile(const std::string& path) {
    // Linux opens a directory for reading and only fails the read: it is no file of no bytes.
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad()) {
        return std::nullopt;
    }
    return bytes.str();
}

ImageFacts imageFacts(const std::string& path, const std::string& bytes, const FileCopy& image) {
    ImageFacts facts;
    facts.path = path;
    facts.bytes = bytes.size();
    facts.sha256 = sha256Hex(bytes);
    facts.dataBytes = image.totalSize();
    facts.version = imageVersion(image);
    return facts;
}

} // namespace vtc880

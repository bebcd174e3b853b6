#include "cli/ImageProblem.h"

std::string imageProblem(const ImageReadResult& result) {
    const std::string at = " at offset " + std::to_string(result.offset);
    switch (result.status) {
    case ImageReadStatus::ok:
        return {};
    case ImageReadStatus::cannotOpen:
        return "cannot open the file: check the path";
    case ImageReadStatus::readError:
        return "read error" + at;
    case ImageReadStatus::truncated:
        return "the file ends inside the record" + at + " (truncated): pack it again";
    case ImageReadStatus::tooManyBlocks:
        return "more than " + std::to_string(FileCopy::maxBlocks) + " blocks: the record" + at +
               " is one too many";
    }
    return "unknown problem";
}

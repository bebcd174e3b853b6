#include "vtc880/ImageProblem.h"

#include <cstdio>

namespace vtc880 {

namespace {

const char* const packAgain = "fix the addresses in the recipe and pack it again";

std::string describeBlock(const FileBlock& block) {
    return "the block at word " + hexWord(block.address) + " (" + std::to_string(block.size) + " bytes)";
}

std::string textFile(const char* kind) {
    return std::string("a text file (") + kind +
           "?): the updater takes the binary image that `vtc880 pack` writes from a recipe";
}

} // namespace

std::string hexWord(std::uint64_t word) {
    char text[24];
    std::snprintf(text, sizeof text, "0x%05llX", static_cast<unsigned long long>(word));
    return text;
}

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

std::string directoryProblem() {
    return "a directory: name the firmware image file itself";
}

std::string intelHexProblem() {
    return textFile("Intel HEX");
}

std::string sRecordProblem() {
    return textFile("S-record");
}

std::string emptyImageProblem(bool emptyFile) {
    if (emptyFile) {
        return "the file is empty (a failed copy?): copy the image again, or pack it from its recipe";
    }
    return "no record holds a byte, so the update would program nothing: pack the image again from its "
           "recipe";
}

std::string blockProblem(const BlockFault& fault, const FileCopy& list) {
    switch (fault.kind) {
    case BlockFault::Kind::empty:
        return emptyImageProblem(false);
    case BlockFault::Kind::pastLastWord:
        return describeBlock(list.blocks[fault.block]) + " runs past the last word " +
               hexWord(lastDeviceWord) + " (to word " + hexWord(fault.lastWord) +
               "), so the device would write its end from word 0 on: " + packAgain;
    case BlockFault::Kind::overlap:
        return "two blocks overlap: " + describeBlock(list.blocks[fault.block]) + " and " +
               describeBlock(list.blocks[fault.other]) + " both cover words " + hexWord(fault.firstWord) +
               " to " + hexWord(fault.lastWord) + ", so the device would hold neither right: " + packAgain;
    }
    return "unknown problem";
}

} // namespace vtc880

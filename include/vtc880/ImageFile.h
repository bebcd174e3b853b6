#pragma once

#include "vtc880/FileCopy.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace vtc880 {

// The firmware image file: records of {byte count, word address, bytes}, little-endian, no header.

enum class ImageReadStatus {
    ok,
    cannotOpen,    // empty path, missing or unreadable file
    readError,     // the system failed a read before the end of the file
    truncated,     // the file ends inside a record
    tooManyBlocks, // more records with bytes than the block table holds
};

struct ImageReadResult {
    ImageReadStatus status = ImageReadStatus::ok;
    std::uint64_t offset = 0; // where the offending record starts
};

struct ImageRecord {
    std::uint64_t offset = 0; // of the record's header in the file
    std::uint32_t size = 0;
    std::uint32_t address = 0;
    std::unique_ptr<std::uint8_t[]> data; // `size` bytes
};

// Visits each whole record in file order, records without bytes included, and stops at the first
// problem; more than `maxBlocks` records with bytes is one.
ImageReadResult scanImageFile(const std::string& path, int maxBlocks,
                              const std::function<void(ImageRecord&&)>& visit);

// Appends the file's records to `list`. On any failure `list` is left as it was.
ImageReadResult readImageFile(const std::string& path, FileCopy& list);

// 0 when the file was read whole, -1 otherwise (see readImageFile).
int firmwareExtract(const std::string& path, FileCopy& list);

// Writes the blocks of `list` to `path`. The image goes to a temporary file beside `path` that
// replaces it only once every byte is on disk, so a failure never leaves a cut or half-old image.
// 0 when written, -1 on any failure.
int firmwareCreate(const std::string& path, const FileCopy& list);

} // namespace vtc880

#include "vtc880/ImageFile.h"

#include "image/DiskFlush.h"
#include "vtc880/LittleEndian.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <system_error>
#include <vector>

namespace vtc880 {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// A record's byte count comes from the file; read it in steps so that a count larger than the file
// costs no more memory than the bytes that are really there.
constexpr std::size_t readStep = 1024 * 1024;

ImageReadStatus readBytes(std::FILE* file, std::uint32_t size, std::unique_ptr<std::uint8_t[]>& out) {
    std::vector<std::uint8_t> bytes;
    while (bytes.size() < size) {
        const std::size_t have = bytes.size();
        const std::size_t step = std::min<std::size_t>(size - have, readStep);
        bytes.resize(have + step);
        const std::size_t got = std::fread(bytes.data() + have, 1, step, file);
        if (got < step) {
            return std::ferror(file) ? ImageReadStatus::readError : ImageReadStatus::truncated;
        }
    }
    out = std::make_unique<std::uint8_t[]>(size);
    if (size > 0) {
        std::memcpy(out.get(), bytes.data(), size);
    }
    return ImageReadStatus::ok;
}

bool writeRecords(std::FILE* file, const FileCopy& list) {
    for (int i = 0; i < list.count; ++i) {
        const FileBlock& block = list.blocks[i];
        std::uint8_t header[8];
        le::put32(header, block.size);
        le::put32(header + 4, block.address);
        if (std::fwrite(header, 1, sizeof header, file) != sizeof header) {
            return false;
        }
        if (block.size > 0 && std::fwrite(block.data.get(), 1, block.size, file) != block.size) {
            return false;
        }
    }
    return true;
}

// Creates a new file beside `target` that no one else uses; empty path when none could be made.
std::filesystem::path createTemporary(const std::filesystem::path& target, File& file) {
    std::random_device entropy;
    for (int attempt = 0; attempt < 16; ++attempt) {
        std::filesystem::path candidate = target;
        candidate += ".tmp" + std::to_string(entropy());
        // "x": fail rather than reuse a file that already exists.
        file.reset(std::fopen(candidate.string().c_str(), "wbx"));
        if (file) {
            return candidate;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return {};
}

} // namespace

ImageReadResult scanImageFile(const std::string& path, int maxBlocks,
                              const std::function<void(ImageRecord&&)>& visit) {
    if (path.empty()) {
        return {ImageReadStatus::cannotOpen, 0};
    }
    File file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return {ImageReadStatus::cannotOpen, 0};
    }
    int blocks = 0;
    std::uint64_t offset = 0;
    for (;;) {
        std::uint8_t header[8];
        const std::size_t got = std::fread(header, 1, sizeof header, file.get());
        if (std::ferror(file.get())) {
            return {ImageReadStatus::readError, offset};
        }
        if (got == 0) {
            return {ImageReadStatus::ok, offset};
        }
        if (got < sizeof header) {
            return {ImageReadStatus::truncated, offset};
        }
        ImageRecord record{offset, le::get32(header), le::get32(header + 4), nullptr};
        if (record.size > 0) {
            if (blocks >= maxBlocks) {
                return {ImageReadStatus::tooManyBlocks, offset};
            }
            const ImageReadStatus status = readBytes(file.get(), record.size, record.data);
            if (status != ImageReadStatus::ok) {
                return {status, offset};
            }
            ++blocks;
        }
        offset += sizeof header + std::uint64_t(record.size);
        visit(std::move(record));
    }
}

ImageReadResult readImageFile(const std::string& path, FileCopy& list) {
    std::vector<ImageRecord> pending;
    const ImageReadResult result =
        scanImageFile(path, FileCopy::maxBlocks - list.count, [&](ImageRecord&& record) {
            if (record.size > 0) {
                pending.push_back(std::move(record));
            }
        });
    if (result.status == ImageReadStatus::ok) {
        for (ImageRecord& record : pending) {
            list.append(record.size, record.address, std::move(record.data));
        }
    }
    return result;
}

int firmwareExtract(const std::string& path, FileCopy& list) {
    return readImageFile(path, list).status == ImageReadStatus::ok ? 0 : -1;
}

int firmwareCreate(const std::string& path, const FileCopy& list) {
    if (path.empty()) {
        return -1;
    }
    const std::filesystem::path target(path);
    File file;
    const std::filesystem::path temporary = createTemporary(target, file);
    if (temporary.empty()) {
        return -1;
    }
    bool ok = writeRecords(file.get(), list) && flushToDisk(file.get());
    ok = std::fclose(file.release()) == 0 && ok;
    std::error_code error;
    if (ok) {
        std::filesystem::rename(temporary, target, error);
        ok = !error;
    }
    if (!ok) {
        std::filesystem::remove(temporary, error);
        return -1;
    }
    return 0;
}

} // namespace vtc880

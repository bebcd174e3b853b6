#include "vtc880/ImageBuilder.h"
#include "vtc880/ImageCheck.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <stdlib.h>
#include <string>
#include <unistd.h>

using namespace vtc880;

namespace {

void writeBytes(const char* path, const std::uint8_t* bytes, std::size_t size) {
    std::FILE* file = std::fopen(path, "wb");
    if (file == nullptr) {
        std::abort();
    }
    std::fwrite(bytes, 1, size, file);
    std::fclose(file);
}

} // namespace

// The input is a recipe, a NUL, then the bytes of the source file "s.bin". The image always goes to
// out.bin in a private folder; recipes naming other folders are skipped, so the fuzzer never reads
// or writes outside it. Whatever the recipe, a written image reads back whole.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    static const bool inFolder = [] {
        char folder[] = "/tmp/vtc880-recipe-fuzz-XXXXXX";
        return mkdtemp(folder) != nullptr && chdir(folder) == 0;
    }();
    if (!inFolder) {
        std::abort();
    }
    const auto* split = static_cast<const std::uint8_t*>(std::memchr(bytes, 0, size));
    const std::size_t recipeSize = split ? std::size_t(split - bytes) : size;
    if (std::memchr(bytes, '/', recipeSize) != nullptr) {
        return 0;
    }
    writeBytes("r.ini", bytes, recipeSize);
    const std::size_t sourceSize = split ? size - recipeSize - 1 : 0;
    writeBytes("s.bin", split ? split + 1 : bytes, sourceSize);

    // What `vtc880 pack` writes, an update accepts; what the packaging mode writes never wraps.
    for (const RecipeReading reading : {RecipeReading::strict, RecipeReading::lenient}) {
        std::remove("out.bin");
        const RecipeOutcome outcome = buildImage("r.ini", reading, "out.bin");
        if (outcome.written != std::filesystem::exists("out.bin")) {
            std::abort();
        }
        if (!outcome.written) {
            continue;
        }
        FileCopy list;
        const LoadedImage loaded = loadImage("out.bin", list);
        if (list.count < 1 || (reading == RecipeReading::strict && !loaded.ok())) {
            std::abort();
        }
        for (const BlockFault& fault : loaded.blockFaults) {
            if (fault.kind != BlockFault::Kind::overlap) {
                std::abort();
            }
        }
    }
    return 0;
}

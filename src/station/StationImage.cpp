#include "station/StationImage.h"

#include "image/Sha256.h"
#include "vtc880/ImageCheck.h"
#include "vtc880/UniqueFd.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace vtc880 {

namespace {

// What tells a changed file without reading it.
std::string signatureOf(const std::string& path) {
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        return "missing " + std::to_string(errno);
    }
    return std::to_string(status.st_dev) + ":" + std::to_string(status.st_ino) + ":" +
           std::to_string(status.st_size) + ":" + std::to_string(status.st_mtim.tv_sec) + "." +
           std::to_string(status.st_mtim.tv_nsec) + ":" + std::to_string(status.st_ctim.tv_nsec);
}

bool writeFile(const std::string& path, const std::string& bytes) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd.valid()) {
        return false;
    }
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd.get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += std::size_t(n);
    }
    return fd.close();
}

} // namespace

ImageSnapshot::~ImageSnapshot() {
    if (!file.empty()) {
        ::unlink(file.c_str());
    }
}

StationImage::StationImage(std::string path) : path_(std::move(path)) {}

StationImage::~StationImage() {
    snapshot.reset();
    if (!folder.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }
}

StationImage::Change StationImage::refresh() {
    const std::string now = signatureOf(path_);
    if (read && now == signature) {
        return Change::none;
    }
    signature = now;
    const bool first = !read;
    read = true;

    const std::optional<std::string> bytes = readWholeFile(path_);
    const std::string sha = bytes ? sha256Hex(*bytes) : std::string();
    if (!first && bytes && sha == lastSha) {
        return Change::none; // touched, not changed
    }
    lastSha = sha;
    snapshot.reset();
    if (!bytes) {
        // The words of the check every update makes: a directory, a missing file.
        FileCopy unused;
        problem_ = loadImage(path_, unused).problem;
        if (problem_.empty()) {
            problem_ = "cannot read the file"; // readable again a moment later: the next change retries
        }
        return Change::refused;
    }
    if (folder.empty()) {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/vtc880-station-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (::mkdtemp(name.data()) == nullptr) {
            problem_ = std::string("cannot make a private copy of the image: ") + std::strerror(errno);
            return Change::refused;
        }
        folder = name.data();
    }
    auto copy = std::make_shared<ImageSnapshot>();
    const std::string file = folder + "/image-" + std::to_string(++copies) + ".hex";
    if (!writeFile(file, *bytes)) {
        problem_ = std::string("cannot make a private copy of the image: ") + std::strerror(errno);
        ::unlink(file.c_str());
        return Change::refused;
    }
    copy->file = file;
    auto image = std::make_shared<FileCopy>();
    const LoadedImage loaded = loadImage(file, *image);
    if (!loaded.ok()) {
        problem_ = loaded.problem;
        return Change::refused; // `copy` removes its file
    }
    copy->facts = imageFacts(path_, *bytes, *image);
    copy->image = std::move(image);
    problem_.clear();
    snapshot = std::move(copy);
    return Change::usable;
}

} // namespace vtc880

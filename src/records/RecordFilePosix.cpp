#include "vtc880/RecordFile.h"
#include "vtc880/UniqueFd.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vtc880 {

namespace {

std::string failure(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// The directory entry of a new file reaches the disk only with its folder.
void syncFolderOf(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    const std::filesystem::path folder = parent.empty() ? std::filesystem::path(".") : parent;
    const UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.valid()) {
        ::fsync(dir.get());
    }
}

// The file's descriptor is its lock's too: closing it drops the lock.
bool openForAppend(const std::string& path, UniqueFd& file, std::string& problem) {
    struct stat before {};
    const bool existed = ::stat(path.c_str(), &before) == 0;
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
    } while (fd < 0 && errno == EINTR);
    file.reset(fd);
    if (!file.valid()) {
        problem = failure("cannot open " + path);
        return false;
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
        problem = path + ": not a regular file";
        return false;
    }
    if (!existed) {
        syncFolderOf(path);
    }
    return true;
}

} // namespace

std::string RecordFile::check() const {
    UniqueFd file;
    std::string problem;
    openForAppend(path_, file, problem);
    return problem;
}

std::string RecordFile::append(const std::string& line) const {
    UniqueFd file;
    std::string problem;
    if (!openForAppend(path_, file, problem)) {
        return problem;
    }
    int locked;
    do {
        locked = ::flock(file.get(), LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        return failure("cannot lock " + path_);
    }
    struct stat status {};
    if (::fstat(file.get(), &status) != 0) {
        return failure("cannot read the size of " + path_);
    }
    std::string text;
    char last = '\n';
    if (status.st_size > 0 && ::pread(file.get(), &last, 1, status.st_size - 1) != 1) {
        return failure("cannot read " + path_);
    }
    if (last != '\n') {
        text += '\n'; // a line torn by a crash stays a line of its own
    }
    text += line;
    text += '\n';

    ssize_t written;
    do {
        written = ::write(file.get(), text.data(), text.size());
    } while (written < 0 && errno == EINTR);
    if (written != ssize_t(text.size())) {
        // Disk full or a file size limit: take back what went out, so no half record stays.
        problem = written < 0 ? failure("cannot write to " + path_)
                              : path_ + ": the disk took only part of a record";
        if (::ftruncate(file.get(), status.st_size) != 0) {
            problem += " (and the part written could not be taken back)";
        }
        return problem;
    }
    if (::fsync(file.get()) != 0) {
        return failure("cannot flush " + path_ + " to the disk");
    }
    return {};
}

} // namespace vtc880

#include "records/RecordFile.h"

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

// Owns a descriptor; closing also drops the lock.
struct Descriptor {
    int fd = -1;
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

// The directory entry of a new file reaches the disk only with its folder.
void syncFolderOf(const std::string& path) {
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    const std::filesystem::path folder = parent.empty() ? std::filesystem::path(".") : parent;
    Descriptor dir;
    dir.fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir.fd >= 0) {
        ::fsync(dir.fd);
    }
}

bool openForAppend(const std::string& path, Descriptor& file, std::string& problem) {
    struct stat before {};
    const bool existed = ::stat(path.c_str(), &before) == 0;
    do {
        file.fd = ::open(path.c_str(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0644);
    } while (file.fd < 0 && errno == EINTR);
    if (file.fd < 0) {
        problem = failure("cannot open " + path);
        return false;
    }
    struct stat status {};
    if (::fstat(file.fd, &status) != 0 || !S_ISREG(status.st_mode)) {
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
    Descriptor file;
    std::string problem;
    openForAppend(path_, file, problem);
    return problem;
}

std::string RecordFile::append(const std::string& line) const {
    Descriptor file;
    std::string problem;
    if (!openForAppend(path_, file, problem)) {
        return problem;
    }
    int locked;
    do {
        locked = ::flock(file.fd, LOCK_EX);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        return failure("cannot lock " + path_);
    }
    struct stat status {};
    if (::fstat(file.fd, &status) != 0) {
        return failure("cannot read the size of " + path_);
    }
    std::string text;
    char last = '\n';
    if (status.st_size > 0 && ::pread(file.fd, &last, 1, status.st_size - 1) != 1) {
        return failure("cannot read " + path_);
    }
    if (last != '\n') {
        text += '\n'; // a line torn by a crash stays a line of its own
    }
    text += line;
    text += '\n';

    ssize_t written;
    do {
        written = ::write(file.fd, text.data(), text.size());
    } while (written < 0 && errno == EINTR);
    if (written != ssize_t(text.size())) {
        // Disk full or a file size limit: take back what went out, so no half record stays.
        problem = written < 0 ? failure("cannot write to " + path_)
                              : path_ + ": the disk took only part of a record";
        if (::ftruncate(file.fd, status.st_size) != 0) {
            problem += " (and the part written could not be taken back)";
        }
        return problem;
    }
    if (::fsync(file.fd) != 0) {
        return failure("cannot flush " + path_ + " to the disk");
    }
    return {};
}

} // namespace vtc880

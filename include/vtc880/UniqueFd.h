#pragma once

#include <cerrno>
#include <unistd.h>
#include <utility>

namespace vtc880 {

// Owns one file descriptor and closes it when it goes. Header only: the simulated device uses it too.
class UniqueFd {
  public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) noexcept : fd_(fd < 0 ? -1 : fd) {}
    UniqueFd(UniqueFd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other)
            reset(std::exchange(other.fd_, -1));
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    ~UniqueFd() { reset(); }

    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }

    // Closes the one held, if any, and takes `fd`. errno is kept, so that a cause read after a
    // failed call still names that call's error.
    void reset(int fd = -1) noexcept {
        const int saved = errno;
        close();
        fd_ = fd < 0 ? -1 : fd;
        errno = saved;
    }

    // Closes now. False when the system reports that the close failed (on some file systems a write
    // fails only then); errno says why. Never retried: Linux has released the descriptor even when the
    // close was interrupted, POSIX leaves that open, and a second close could take a descriptor
    // another thread has just been given. So an interrupted close counts as done.
    bool close() noexcept {
        const int fd = std::exchange(fd_, -1);
        return fd < 0 || ::close(fd) == 0 || errno == EINTR;
    }

  private:
    int fd_ = -1;
};

} // namespace vtc880

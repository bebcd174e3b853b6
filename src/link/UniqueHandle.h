#pragma once

#include <utility>
#include <windows.h>

namespace vtc880 {

// Owns one Windows handle and closes it when it goes: UniqueFd's counterpart on Windows.
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) noexcept : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other)
            reset(std::exchange(other.handle_, INVALID_HANDLE_VALUE));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    HANDLE get() const noexcept { return handle_; }
    bool valid() const noexcept { return handle_ != INVALID_HANDLE_VALUE; }

    // Closes the one held, if any, and takes `handle`. The last error is kept, so that a cause read
    // after a failed call still names that call's error.
    void reset(HANDLE handle = INVALID_HANDLE_VALUE) noexcept {
        const DWORD saved = ::GetLastError();
        if (valid())
            ::CloseHandle(handle_);
        handle_ = handle;
        ::SetLastError(saved);
    }

  private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

} // namespace vtc880

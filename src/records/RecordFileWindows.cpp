#include "link/UniqueHandle.h"
#include "vtc880/RecordFile.h"

#include <windows.h>

namespace vtc880 {

namespace {

std::string failure(const std::string& what) {
    return what + " (error " + std::to_string(::GetLastError()) + ")";
}

bool openForAppend(const std::string& path, UniqueHandle& file, std::string& problem) {
    file.reset(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) {
        problem = failure("cannot open " + path);
        return false;
    }
    return true;
}

} // namespace

std::string RecordFile::check() const {
    UniqueHandle file;
    std::string problem;
    openForAppend(path_, file, problem);
    return problem;
}

std::string RecordFile::append(const std::string& line) const {
    UniqueHandle file;
    std::string problem;
    if (!openForAppend(path_, file, problem)) {
        return problem;
    }
    OVERLAPPED whole{};
    if (!::LockFileEx(file.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, MAXDWORD, MAXDWORD, &whole)) {
        return failure("cannot lock " + path_);
    }
    struct Unlock {
        HANDLE handle;
        ~Unlock() {
            OVERLAPPED range{};
            ::UnlockFileEx(handle, 0, MAXDWORD, MAXDWORD, &range);
        }
    } unlock{file.get()};

    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.get(), &size)) {
        return failure("cannot read the size of " + path_);
    }
    std::string text;
    if (size.QuadPart > 0) {
        char last = '\n';
        DWORD got = 0;
        OVERLAPPED at{};
        at.Offset = DWORD(std::uint64_t(size.QuadPart - 1) & 0xFFFFFFFFu);
        at.OffsetHigh = DWORD(std::uint64_t(size.QuadPart - 1) >> 32);
        if (!::ReadFile(file.get(), &last, 1, &got, &at) || got != 1) {
            return failure("cannot read " + path_);
        }
        if (last != '\n') {
            text += '\n';
        }
    }
    text += line;
    text += '\n';

    LARGE_INTEGER end = size;
    if (!::SetFilePointerEx(file.get(), end, nullptr, FILE_BEGIN)) {
        return failure("cannot write to " + path_);
    }
    DWORD written = 0;
    if (!::WriteFile(file.get(), text.data(), DWORD(text.size()), &written, nullptr) ||
        written != text.size()) {
        problem = failure("cannot write to " + path_);
        if (!::SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN) || !::SetEndOfFile(file.get())) {
            problem += " (and the part written could not be taken back)";
        }
        return problem;
    }
    if (!::FlushFileBuffers(file.get())) {
        return failure("cannot flush " + path_ + " to the disk");
    }
    return {};
}

} // namespace vtc880

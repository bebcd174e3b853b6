#pragma once

// Writing and reading a test's own end of a serial line with plain POSIX calls.

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <limits>
#include <poll.h>
#include <unistd.h>
#include <vector>

namespace lineio {

// Hands every byte to the terminal, across partial writes and signals. False once a write fails.
inline bool writeAll(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += std::size_t(n);
    }
    return true;
}

// What arrives within `limit`: up to `most` bytes, less when the time is up or the line ends first.
inline std::vector<std::uint8_t> readWithin(int fd, std::chrono::milliseconds limit,
                                            std::size_t most = std::numeric_limits<std::size_t>::max()) {
    std::vector<std::uint8_t> got;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (got.size() < most) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, int(std::min<std::int64_t>(left.count(), 60'000)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        std::uint8_t buffer[4096];
        const ssize_t n = ::read(fd, buffer, std::min(sizeof buffer, most - got.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got.insert(got.end(), buffer, buffer + n);
    }
    return got;
}

} // namespace lineio

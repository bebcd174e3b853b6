#include "sim/LineSpeed.h"

#include <array>
#include <utility>

namespace sim {

namespace {

constexpr std::array<std::pair<std::int32_t, speed_t>, 30> speeds{{
    {50, B50},           {75, B75},           {110, B110},         {134, B134},         {150, B150},
    {200, B200},         {300, B300},         {600, B600},         {1200, B1200},       {1800, B1800},
    {2400, B2400},       {4800, B4800},       {9600, B9600},       {19200, B19200},     {38400, B38400},
    {57600, B57600},     {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
    {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000}, {1500000, B1500000},
    {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000}, {3500000, B3500000}, {4000000, B4000000},
}};

} // namespace

std::optional<speed_t> speedConstant(std::int32_t bitsPerSecond) {
    for (const auto& [bps, constant] : speeds)
        if (bps == bitsPerSecond)
            return constant;
    return std::nullopt;
}

std::int32_t bitsPerSecond(speed_t constant) {
    for (const auto& [bps, c] : speeds)
        if (c == constant)
            return bps;
    return 0;
}

std::int32_t terminalSpeed(int fd) {
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0)
        return 0;
    return bitsPerSecond(::cfgetospeed(&settings));
}

std::chrono::nanoseconds byteTime(std::int32_t bitsPerSecond) {
    if (bitsPerSecond <= 0)
        return std::chrono::nanoseconds(0);
    return std::chrono::nanoseconds(10'000'000'000LL / bitsPerSecond);
}

} // namespace sim

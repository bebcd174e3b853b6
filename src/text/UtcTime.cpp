#include "text/UtcTime.h"

#include <cstdio>

namespace vtc880 {

std::string isoUtc(std::chrono::system_clock::time_point moment) {
    using namespace std::chrono;
    const sys_days day = floor<days>(moment);
    const year_month_day date{day};
    const milliseconds inDay = duration_cast<milliseconds>(moment - day);
    const long long ms = inDay.count();
    char text[48];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02lld:%02lld:%02lld.%03lldZ", int(date.year()),
                  unsigned(date.month()), unsigned(date.day()), ms / 3600000, ms / 60000 % 60, ms / 1000 % 60,
                  ms % 1000);
    return text;
}

} // namespace vtc880

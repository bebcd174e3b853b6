#include "vtc880/RunReport.h"

#include <chrono>

namespace vtc880 {

double runSeconds(const RunReport& report) {
    std::chrono::steady_clock::duration took{};
    for (const auto& phase : report.times) {
        took += phase;
    }
    return std::chrono::duration<double>(took).count();
}

} // namespace vtc880

#include "ProcessFigures.h"

#include <filesystem>
#include <fstream>
#include <sched.h>
#include <sys/resource.h>

namespace {

// The number after `key` on its line of a /proc file of "key: value" lines, -1 when absent.
long field(const char* path, const std::string& key) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) == 0) {
            return std::stol(line.substr(key.size()));
        }
    }
    return -1;
}

double seconds(const rusage& usage) {
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

ProcessFigures processFigures() {
    ProcessFigures figures;
    std::error_code ignored;
    for (auto it = std::filesystem::directory_iterator("/proc/self/fd", ignored);
         it != std::filesystem::directory_iterator(); it.increment(ignored)) {
        ++figures.descriptors;
    }
    if (figures.descriptors > 0) {
        --figures.descriptors; // the one the listing itself held open
    }
    figures.threads = field("/proc/self/status", "Threads:");
    figures.rssKiB = field("/proc/self/status", "VmRSS:");
    figures.peakRssKiB = field("/proc/self/status", "VmHWM:");
    return figures;
}

std::int64_t threadWriteCalls() {
    return field("/proc/thread-self/io", "syscw:");
}

double threadCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return seconds(usage);
}

double processCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return seconds(usage);
}

std::string machineDescription() {
    std::string model = "unknown";
    std::ifstream in("/proc/cpuinfo");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("model name", 0) == 0) {
            const std::size_t colon = line.find(':');
            model = line.substr(colon + 2);
            break;
        }
    }
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    const int usable = sched_getaffinity(0, sizeof cpus, &cpus) == 0 ? CPU_COUNT(&cpus) : -1;
    return "nproc: " + std::to_string(usable) + ", CPU: " + model;
}

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// What this process holds, as the kernel reports it.
struct ProcessFigures {
    std::size_t descriptors = 0; // entries of /proc/self/fd
    long threads = 0;            // Threads: of /proc/self/status
    long rssKiB = 0;             // VmRSS
    long peakRssKiB = 0;         // VmHWM
};
ProcessFigures processFigures();

// Write system calls made so far by the calling thread (syscw of /proc/thread-self/io); -1 when the
// kernel does not keep the count.
std::int64_t threadWriteCalls();

// CPU time (user + system) of the calling thread and of the whole process, in seconds.
double threadCpuSeconds();
double processCpuSeconds();

// "nproc: 2, CPU: Intel(R) ..." for the figures' heading.
std::string machineDescription();

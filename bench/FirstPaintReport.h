#pragma once
// What both start-up bench programs (the editor and the minimal wxWidgets
// program) print at their first paint, read by bench/gui_startup.sh. Plain
// C++, so that the minimal program stays a minimal wxWidgets program.
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace FirstPaintReport {

inline long PeakMemoryKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
    return -1;
}

// Processor time used so far (all threads), in milliseconds: steadier than
// the wall clock on a busy machine.
inline long CpuMillis() {
    rusage use{};
    getrusage(RUSAGE_SELF, &use);
    return (use.ru_utime.tv_sec + use.ru_stime.tv_sec) * 1000L + (use.ru_utime.tv_usec + use.ru_stime.tv_usec) / 1000L;
}

// Prints the moment (`nowMillis`, the wall clock in ms), the peak memory and
// the processor time. TQV_SMAPS=FILE copies the memory map as it is now, to
// see what the peak is made of; TQV_EXIT_AT_PAINT=1 ends the program here,
// so that a profile covers only the way to the first paint.
inline void Print(long long nowMillis) {
    std::printf("FIRST_PAINT_MS %lld\nPEAK_KIB %ld\nCPU_MS %ld\n", nowMillis, PeakMemoryKiB(), CpuMillis());
    std::fflush(stdout);
    if (const char* copy = std::getenv("TQV_SMAPS")) {
        std::ifstream in("/proc/self/smaps");
        std::ofstream out(copy);
        out << in.rdbuf();
    }
    if (std::getenv("TQV_EXIT_AT_PAINT")) std::_Exit(0);
}

}  // namespace FirstPaintReport

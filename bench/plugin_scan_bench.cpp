// Times the plug-in search against the least any host does: one process that
// only loads each file and asks for its effect name.
// Usage: tqv-plugin-scan-bench [ROUNDS] [FOLDER...]
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "plugins/PluginScanner.h"
#include "plugins/PluginSearch.h"
#include "plugins/scan/PluginExaminer.h"

namespace {

long residentKiB() {
    FILE* f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long kib = -1;
    while (std::fgets(line, sizeof line, f))
        if (std::sscanf(line, "VmRSS: %ld", &kib) == 1) break;
    std::fclose(f);
    return kib;
}

double seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// In a child process, so that the plug-ins never live in this one.
// `grownKiB`: how much the loading process grew by the plug-ins.
double bareLoop(const std::vector<std::string>& files, int& named, long& grownKiB) {
    int fds[2];
    if (pipe(fds) != 0) return -1;
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        long result[2] = {0, residentKiB()};
        std::string name;
        for (const std::string& f : files)
            if (PluginExaminer::nameOnly(f, name)) ++result[0];
        result[1] = residentKiB() - result[1];
        if (write(fds[1], result, sizeof result) != sizeof result) _exit(1);
        _exit(0);
    }
    close(fds[1]);
    long result[2] = {-1, -1};
    if (read(fds[0], result, sizeof result) != sizeof result) result[0] = -1;
    named = static_cast<int>(result[0]);
    grownKiB = result[1];
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    return seconds(start);
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
    int rounds = argc > 1 ? std::atoi(argv[1]) : 5;
    if (rounds < 1) rounds = 1;
    std::vector<std::string> folders(argv + std::min(argc, 2), argv + argc);
    if (folders.empty()) folders = {"/usr/lib/vst", "/usr/lib/lxvst"};
    const std::vector<std::string> files = PluginSearch::findPluginFiles(folders);
    std::vector<double> bare, scan;
    int named = 0;
    long bareGrown = 0;
    size_t found = 0, skipped = 0;
    const long before = residentKiB();
    for (int r = 0; r < rounds; ++r) {
        bare.push_back(bareLoop(files, named, bareGrown));
        std::vector<PluginInfo> f;
        std::vector<SkippedPlugin> s;
        std::string error;
        const auto start = std::chrono::steady_clock::now();
        if (!searchPlugins(folders, CPluginScan::Options{}, nullptr, f, s, error)) {
            std::fprintf(stderr, "search failed: %s\n", error.c_str());
            return 1;
        }
        scan.push_back(seconds(start));
        found = f.size();
        skipped = s.size();
    }
    std::printf("%zu files; bare loop named %d, search described %zu and skipped %zu\n", files.size(), named, found,
                skipped);
    std::printf("bare loop (one process, load + effect name): median %.3f s over %d rounds\n", median(bare), rounds);
    std::printf("search (helper, full examination):           median %.3f s over %d rounds\n", median(scan), rounds);
    std::printf("ratio: %.2f\n", median(scan) / median(bare));
    std::printf("memory: the bare loop's process grew by %ld KiB; this process (the searcher's side) by %ld KiB\n",
                bareGrown, residentKiB() - before);
    return 0;
}

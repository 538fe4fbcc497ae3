// Loaded with LD_PRELOAD: writes every fsync, fdatasync and rename of the
// process, in order, to the file named by $TQV_SYNC_LOG, one line each
// ("fsync PATH", "rename FROM TO"), so that a test can see what reaches the
// disk before and after a file is put in its place.
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace {

void logLine(const char* verb, const char* a, const char* b) {
    const char* path = getenv("TQV_SYNC_LOG");
    if (!path) return;
    const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (fd < 0) return;
    char line[8192];
    const int n = snprintf(line, sizeof line, "%s %s%s%s\n", verb, a, b ? " " : "", b ? b : "");
    if (n > 0) {
        ssize_t ignored = write(fd, line, static_cast<size_t>(n) < sizeof line ? static_cast<size_t>(n) : sizeof line - 1);
        static_cast<void>(ignored);
    }
    close(fd);
}

void logDescriptor(const char* verb, int fd) {
    char link[64], target[4096];
    snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t n = readlink(link, target, sizeof target - 1);
    target[n > 0 ? n : 0] = '\0';
    logLine(verb, target, nullptr);
}

}  // namespace

extern "C" {

int fsync(int fd) {
    static int (*real)(int);
    if (!real) real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fsync"));
    logDescriptor("fsync", fd);
    return real(fd);
}

int fdatasync(int fd) {
    static int (*real)(int);
    if (!real) real = reinterpret_cast<int (*)(int)>(dlsym(RTLD_NEXT, "fdatasync"));
    logDescriptor("fsync", fd);
    return real(fd);
}

int rename(const char* from, const char* to) noexcept {
    static int (*real)(const char*, const char*);
    if (!real) real = reinterpret_cast<int (*)(const char*, const char*)>(dlsym(RTLD_NEXT, "rename"));
    const int result = real(from, to);
    if (result == 0) logLine("rename", from, to);
    return result;
}

int renameat(int fromDir, const char* from, int toDir, const char* to) noexcept {
    static int (*real)(int, const char*, int, const char*);
    if (!real) real = reinterpret_cast<int (*)(int, const char*, int, const char*)>(dlsym(RTLD_NEXT, "renameat"));
    const int result = real(fromDir, from, toDir, to);
    if (result == 0) logLine("rename", from, to);
    return result;
}

}  // extern "C"

#include "CrashHandler.h"

#include <cxxabi.h>
#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <thread>
#include <typeinfo>

namespace report {

namespace {

// ---- Async-signal-safe output -------------------------------------------

void put(int fd, const char* text) {
    if (fd < 0) return;
    size_t left = std::strlen(text);
    while (left > 0) {
        const ssize_t n = ::write(fd, text, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        text += n;
        left -= static_cast<size_t>(n);
    }
}

void putNumber(int fd, unsigned long long value, unsigned base) {
    char digits[32];
    int i = sizeof digits - 1;
    digits[i] = '\0';
    do {
        digits[--i] = "0123456789abcdef"[value % base];
        value /= base;
    } while (value && i > 0);
    put(fd, digits + i);
}

// Writes all bytes to path through a temporary file and a rename, so that a
// half-written copy never takes the place of an earlier complete one.
bool writeFileSafely(const char* path, const char* tempPath, const uint8_t* bytes, size_t size) {
    const int fd = ::open(tempPath, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) return false;
    size_t done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd, bytes + done, size - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    const bool complete = done == size && ::fsync(fd) == 0;
    ::close(fd);
    if (complete && ::rename(tempPath, path) == 0) return true;
    ::unlink(tempPath);
    return false;
}

const char* signalName(int sig) {
    switch (sig) {
        case SIGSEGV: return "SIGSEGV (invalid memory access)";
        case SIGBUS: return "SIGBUS (bus error)";
        case SIGILL: return "SIGILL (illegal instruction)";
        case SIGFPE: return "SIGFPE (arithmetic error)";
        case SIGABRT: return "SIGABRT (abort)";
        default: return "fatal signal";
    }
}

// ---- What the handler needs, prepared at install time ----------------------

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr size_t kMaxArgs = 16;

struct Prepared {
    std::string applicationName;
    std::string reportPath;
    std::vector<std::string> reporterArgs;
    char* argv[kMaxArgs + 1] = {};
};

Prepared* g_prepared = nullptr;
std::atomic<bool> g_handling{false};
std::terminate_handler g_previousTerminate = nullptr;
std::vector<char> g_alternateStack;

void startReporter() {
    if (!g_prepared || !g_prepared->argv[0]) return;
    const pid_t pid = ::fork();
    if (pid != 0) return;
    // The reporter: its own session, a clean signal mask, none of the
    // crashed process's descriptors.
    ::setsid();
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
#ifdef SYS_close_range
    if (::syscall(SYS_close_range, 3U, ~0U, 0U) != 0)
#endif
        for (int fd = 3; fd < 1024; ++fd) ::close(fd);
    ::execv(g_prepared->argv[0], g_prepared->argv);
    ::_exit(127);
}

// The common crash path: report, recovered templates, reporter.
void handleCrash(const char* what, const char* detail, bool hasAddress, const void* address) {
    const Prepared* p = g_prepared;
    if (!p) return;
    const int fd = ::open(p->reportPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) {
        put(2, "CrashReporter: Couldnt create output file ");
        put(2, p->reportPath.c_str());
        put(2, "\n");
    }
    put(fd, p->applicationName.c_str());
    put(fd, " crash report\nFault: ");
    put(fd, what);
    if (detail && *detail) {
        put(fd, ": ");
        put(fd, detail);
    }
    if (hasAddress) {
        put(fd, " at address 0x");
        putNumber(fd, reinterpret_cast<uintptr_t>(address), 16);
    }
    put(fd, "\nProcess: ");
    putNumber(fd, static_cast<unsigned long long>(::getpid()), 10);
    put(fd, "\nThread: ");
    putNumber(fd, static_cast<unsigned long long>(::syscall(SYS_gettid)), 10);
    put(fd, "\n\nBacktrace:\n");
    void* frames[64];
    const int count = ::backtrace(frames, 64);
    if (fd >= 0) ::backtrace_symbols_fd(frames, count, fd);

    put(fd, "\nRecovered templates:\n");
    CRecoveryRegistry::instance().writeAll(fd);

    // The memory map lets the reporter turn addresses into source lines.
    put(fd, "\nMemory map:\n");
    const int maps = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (maps >= 0 && fd >= 0) {
        char chunk[4096];
        ssize_t n;
        while ((n = ::read(maps, chunk, sizeof chunk)) > 0)
            if (::write(fd, chunk, static_cast<size_t>(n)) != n) break;
    }
    if (maps >= 0) ::close(maps);
    put(fd, "End of report\n");
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
        startReporter();
    }
}

void onSignal(int sig, siginfo_t* info, void*) {
    if (!g_handling.exchange(true)) {
        // Should anything below block, the alarm's default action ends the process.
        ::alarm(30);
        const bool hasAddress = sig == SIGSEGV || sig == SIGBUS || sig == SIGILL || sig == SIGFPE;
        handleCrash(signalName(sig), nullptr, hasAddress && info, info ? info->si_addr : nullptr);
    }
    // End with the signal's own default action (core dump, exit status).
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

void onTerminate() {
    if (!g_handling.exchange(true)) {
        std::string detail = "no active exception";
        if (std::exception_ptr e = std::current_exception()) {
            try {
                std::rethrow_exception(e);
            } catch (const std::exception& ex) {
                int status = 0;
                char* name = abi::__cxa_demangle(typeid(ex).name(), nullptr, nullptr, &status);
                detail = std::string(status == 0 && name ? name : typeid(ex).name()) + ": " + ex.what();
                std::free(name);
            } catch (...) {
                detail = "an exception of unknown type";
            }
        }
        handleCrash("Uncaught exception", detail.c_str(), false, nullptr);
    }
    ::signal(SIGABRT, SIG_DFL);
    std::abort();
}

}  // namespace

bool installCrashHandler(const CrashHandlerOptions& options) {
    if (options.reporterCommand.size() >= kMaxArgs) return false;
    auto* p = new Prepared;
    p->applicationName = options.applicationName;
    p->reportPath = options.reportPath;
    p->reporterArgs = options.reporterCommand;
    if (!p->reporterArgs.empty()) p->reporterArgs.push_back(options.reportPath);
    for (size_t i = 0; i < p->reporterArgs.size(); ++i) p->argv[i] = p->reporterArgs[i].data();
    // The previous options stay valid: a crash may be reading them right now.
    g_prepared = p;

    // The first backtrace() loads the unwinder; do that now, not at crash time.
    void* warmUp[2];
    ::backtrace(warmUp, 2);

    // A stack overflow leaves no stack for the handler: give it its own.
    if (g_alternateStack.empty()) {
        g_alternateStack.resize(std::max<size_t>(SIGSTKSZ, 64 * 1024));
        stack_t stack{};
        stack.ss_sp = g_alternateStack.data();
        stack.ss_size = g_alternateStack.size();
        ::sigaltstack(&stack, nullptr);
    }
    struct sigaction action {};
    action.sa_sigaction = onSignal;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    bool ok = true;
    for (int sig : kSignals) ok = ::sigaction(sig, &action, nullptr) == 0 && ok;
    std::terminate_handler previous = std::set_terminate(onTerminate);
    if (previous != onTerminate) g_previousTerminate = previous;
    return ok;
}

std::string recoveredPathFor(const std::string& filePath, const std::string& name, const std::string& tempDir) {
    auto stemOf = [](const std::string& fileName) {
        const auto dot = fileName.rfind('.');
        return dot == std::string::npos || dot == 0 ? fileName : fileName.substr(0, dot);
    };
    if (!filePath.empty()) {
        const auto slash = filePath.find_last_of('/');
        const std::string dir = slash == std::string::npos ? std::string() : filePath.substr(0, slash + 1);
        const std::string file = slash == std::string::npos ? filePath : filePath.substr(slash + 1);
        return dir + stemOf(file) + ".recovered.syx";
    }
    std::string safe;
    for (char c : name) safe += (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) ? '_' : c;
    while (!safe.empty() && safe.back() == ' ') safe.pop_back();
    if (safe.empty() || safe == "." || safe == "..") safe = "Untitled";
    return tempDir + safe + ".recovered.syx";
}

CRecoveryRegistry& CRecoveryRegistry::instance() {
    static CRecoveryRegistry* registry = new CRecoveryRegistry;  // never destroyed: a crash may come at exit
    return *registry;
}

void CRecoveryRegistry::setTemporaryDirectory(const std::string& dir) {
    std::lock_guard<std::mutex> lock(mutex_);
    tempDir_ = dir;
}

int CRecoveryRegistry::add(Source source) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (int i = 0; i < kMaxSources; ++i) {
        Slot& s = slots_[i];
        if (s.used.load()) continue;
        s.source = std::move(source);
        s.active.store(-1);
        s.used.store(true);
        return i;
    }
    return -1;
}

void CRecoveryRegistry::remove(int handle) {
    if (handle < 0 || handle >= kMaxSources) return;
    std::lock_guard<std::mutex> lock(mutex_);
    Slot& s = slots_[handle];
    s.used.store(false);
    s.active.store(-1);
    s.source = Source{};
}

void CRecoveryRegistry::refresh() {
    std::lock_guard<std::mutex> lock(mutex_);
    const std::string tempDir = tempDir_.empty() ? std::string("/tmp/") : tempDir_;
    for (Slot& s : slots_) {
        if (!s.used.load()) continue;
        const bool modified = s.source.isModified && s.source.isModified();
        if (!modified || !s.source.bytes) {
            s.active.store(-1);
            continue;
        }
        const std::string filePath = s.source.filePath ? s.source.filePath() : std::string();
        const std::string name = s.source.name ? s.source.name() : std::string();
        ByteSequence bytes = s.source.bytes();
        const int current = s.active.load();
        const std::string path = recoveredPathFor(filePath, name, tempDir);
        if (current >= 0 && s.copies[current].path == path && s.copies[current].bytes == bytes.vector()) continue;
        // Fill the copy the handler is not reading, then switch to it.
        Copy& next = s.copies[current == 0 ? 1 : 0];
        next.path = path;
        next.tempPath = path + ".tmp";
        next.fallbackPath = filePath.empty()
                                ? std::string()
                                : recoveredPathFor(tempDir + filePath.substr(filePath.find_last_of('/') + 1), {}, {});
        next.fallbackTempPath = next.fallbackPath.empty() ? std::string() : next.fallbackPath + ".tmp";
        next.bytes = bytes.vector();
        s.active.store(current == 0 ? 1 : 0);
    }
}

int CRecoveryRegistry::writeAll(int reportFd) noexcept {
    int written = 0;
    for (Slot& s : slots_) {
        if (!s.used.load()) continue;
        const int a = s.active.load();
        if (a < 0) continue;
        const Copy& c = s.copies[a];
        const char* where = nullptr;
        if (writeFileSafely(c.path.c_str(), c.tempPath.c_str(), c.bytes.data(), c.bytes.size())) where = c.path.c_str();
        else if (!c.fallbackPath.empty() &&
                 writeFileSafely(c.fallbackPath.c_str(), c.fallbackTempPath.c_str(), c.bytes.data(), c.bytes.size()))
            where = c.fallbackPath.c_str();
        if (where) {
            ++written;
            put(reportFd, "Recovered: ");
            put(reportFd, where);
            put(reportFd, "\n");
        } else {
            put(reportFd, "Not recovered: ");
            put(reportFd, c.path.c_str());
            put(reportFd, "\n");
        }
    }
    return written;
}

void crashForTesting(const std::string& kind) {
    if (kind == "segv") {
        volatile int* nowhere = nullptr;
        *nowhere = 1;
    } else if (kind == "bus") {
        ::raise(SIGBUS);
    } else if (kind == "ill") {
        __builtin_trap();
    } else if (kind == "fpe") {
        volatile int zero = 0;
        volatile int result = 1 / zero;
        (void)result;
        ::raise(SIGFPE);  // where division by zero does not trap
    } else if (kind == "abort") {
        std::abort();
    } else if (kind == "throw") {
        // An exception that no handler catches, on a thread of its own.
        std::thread([] { throw std::runtime_error("test crash requested"); }).join();
    }
}

}  // namespace report

#include "CrashHandler.h"

#include <cxxabi.h>
#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <thread>
#include <typeinfo>

namespace report {

namespace {

// ---- Async-signal-safe output -------------------------------------------

// Output into a report file; remembers whether every write reached the file,
// so that a full disk leaves no incomplete report behind.
struct Out {
    int fd = -1;
    bool ok = true;

    void bytes(const char* p, size_t n) noexcept {
        if (fd >= 0 && ok) ok = writeFully(fd, p, n);
    }
    void put(const char* text) noexcept { bytes(text, std::strlen(text)); }
    void number(unsigned long long value, unsigned base) noexcept {
        char digits[32];
        int i = sizeof digits - 1;
        digits[i] = '\0';
        do {
            digits[--i] = "0123456789abcdef"[value % base];
            value /= base;
        } while (value && i > 0);
        put(digits + i);
    }
};

void say(const char* text) noexcept { writeFully(2, text, std::strlen(text)); }

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

// What went wrong, as far as the handler can tell.
struct Fault {
    const char* what = "";
    const char* detail = nullptr;
    bool hasAddress = false;
    const void* address = nullptr;
    bool sentByOther = false;  // kill() or sigqueue() from another process
    bool raisedBySelf = false;  // raise(), abort() or a kill() of the program's own
    long senderPid = 0;
    long senderUid = 0;
};

// ---- What the handler needs, prepared at install time ----------------------

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};
constexpr size_t kMaxArgs = 16;
constexpr int kMaxSources = CRecoveryRegistry::kMaxSources;

struct Prepared {
    std::string applicationName;
    std::vector<Place> reportPlaces;
    std::vector<Place> noticePlaces;
    std::vector<std::string> reporterArgs;
};

Prepared* g_prepared = nullptr;
// The thread that handles the crash; 0 until one does.
std::atomic<long> g_handlingThread{0};
std::terminate_handler g_previousTerminate = nullptr;
std::vector<char> g_alternateStack;

// Filled at crash time; static so that nothing is allocated then.
char* g_reporterArgv[kMaxArgs + 2 + 4 * kMaxSources + 1];
const char* g_recovered[kMaxSources];
const char* g_lost[kMaxSources];
char g_recoveredFlag[] = "--recovered";
char g_lostFlag[] = "--not-recovered";
char g_noReport[] = "";

enum class Entry { Handle, Reentered };

// Lets the first faulting thread handle the crash. A thread that faults while
// another one handles it waits here for the end of the process, which the
// handling thread brings (or its alarm, should it hang).
Entry enterHandler() noexcept {
    const long self = ::syscall(SYS_gettid);
    long expected = 0;
    if (g_handlingThread.compare_exchange_strong(expected, self)) return Entry::Handle;
    if (expected == self) return Entry::Reentered;  // a fault inside the handler
    for (;;) ::pause();
}

// Starts the reporter. _Fork, unlike fork, runs no fork handlers and takes no
// lock of the C library, so a heap that a crashed thread left locked cannot
// hold it up; the child only makes system calls before execve.
void startReporter(const char* reportPath) noexcept {
    const Prepared* p = g_prepared;
    if (!p || p->reporterArgs.empty()) return;
    size_t n = 0;
    for (const std::string& a : p->reporterArgs) g_reporterArgv[n++] = const_cast<char*>(a.c_str());
    g_reporterArgv[n++] = reportPath ? const_cast<char*>(reportPath) : g_noReport;
    const CRecoveryRegistry& registry = CRecoveryRegistry::instance();
    const int recovered = registry.recoveredPaths(g_recovered, kMaxSources);
    for (int i = 0; i < recovered; ++i) {
        g_reporterArgv[n++] = g_recoveredFlag;
        g_reporterArgv[n++] = const_cast<char*>(g_recovered[i]);
    }
    const int lost = registry.lostNames(g_lost, kMaxSources);
    for (int i = 0; i < lost; ++i) {
        g_reporterArgv[n++] = g_lostFlag;
        g_reporterArgv[n++] = const_cast<char*>(g_lost[i]);
    }
    g_reporterArgv[n] = nullptr;
    const pid_t pid = ::_Fork();
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
    ::execve(g_reporterArgv[0], g_reporterArgv, environ);
    ::_exit(127);
}

void writeReport(Out& out, const Prepared& p, const Fault& f, void* const* frames, int frameCount) noexcept {
    out.put(p.applicationName.c_str());
    out.put(" crash report\nFault: ");
    out.put(f.what);
    if (f.detail && *f.detail) {
        out.put(": ");
        out.put(f.detail);
    }
    if (f.sentByOther) {
        // The signal's sender stands where a fault address would.
        out.put(", sent by process ");
        out.number(static_cast<unsigned long long>(f.senderPid), 10);
        out.put(" (user ");
        out.number(static_cast<unsigned long long>(f.senderUid), 10);
        out.put(")");
    } else if (f.raisedBySelf) {
        out.put(", raised by the program itself");
    } else if (f.hasAddress) {
        out.put(" at address 0x");
        out.number(reinterpret_cast<uintptr_t>(f.address), 16);
    }
    out.put("\nProcess: ");
    out.number(static_cast<unsigned long long>(::getpid()), 10);
    out.put("\nThread: ");
    out.number(static_cast<unsigned long long>(::syscall(SYS_gettid)), 10);
    out.put("\n\nBacktrace:\n");
    if (out.fd >= 0 && out.ok) ::backtrace_symbols_fd(frames, frameCount, out.fd);

    out.put("\nRecovered templates:\n");
    if (out.ok) out.ok = CRecoveryRegistry::instance().listCopies(out.fd);

    // The memory map lets the reporter turn addresses into source lines.
    out.put("\nMemory map:\n");
    const int maps = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (maps >= 0) {
        char chunk[4096];
        ssize_t n;
        while (out.ok && (n = ::read(maps, chunk, sizeof chunk)) > 0) out.bytes(chunk, static_cast<size_t>(n));
        ::close(maps);
    }
    out.put("End of report\n");
}

// The common crash path: recovered templates, report, notice, reporter.
void handleCrash(const Fault& fault) noexcept {
    const Prepared* p = g_prepared;
    if (!p) return;
    static void* frames[64];
    const int frameCount = ::backtrace(frames, 64);

    // The templates first: they matter most, and the report says where they went.
    CRecoveryRegistry& registry = CRecoveryRegistry::instance();
    registry.writeCopies();
    const bool anyTemplates = registry.recoveredPaths(g_recovered, kMaxSources) > 0 ||
                              registry.lostNames(g_lost, kMaxSources) > 0;

    // The report goes to the first folder that takes all of it.
    const char* reportPath = nullptr;
    for (const Place& place : p->reportPlaces) {
        int folderFd, fd;
        if (!createInPlace(place, folderFd, fd)) continue;
        Out out{fd};
        writeReport(out, *p, fault, frames, frameCount);
        if (finishInPlace(place, folderFd, fd, out.ok)) {
            reportPath = place.path.c_str();
            break;
        }
    }
    if (!reportPath) say("CrashReporter: Couldnt create output file\n");

    // For the next start, in case the reporter cannot tell the user.
    if (anyTemplates)
        for (const Place& place : p->noticePlaces) {
            int folderFd, fd;
            if (!createInPlace(place, folderFd, fd)) continue;
            if (finishInPlace(place, folderFd, fd, registry.listCopies(fd))) break;
        }

    if (reportPath || anyTemplates) startReporter(reportPath);
}

void onSignal(int sig, siginfo_t* info, void*) {
    if (enterHandler() == Entry::Handle) {
        // Should anything below block, the alarm's default action ends the process.
        ::alarm(30);
        Fault f;
        f.what = signalName(sig);
        if (info && info->si_code <= 0) {
            // Sent by kill(), tgkill() or sigqueue(): si_addr holds no address.
            if (info->si_pid == ::getpid()) {
                f.raisedBySelf = true;
            } else {
                f.sentByOther = true;
                f.senderPid = info->si_pid;
                f.senderUid = static_cast<long>(info->si_uid);
            }
        } else if (info && (sig == SIGSEGV || sig == SIGBUS || sig == SIGILL || sig == SIGFPE)) {
            f.hasAddress = true;
            f.address = info->si_addr;
        }
        handleCrash(f);
    }
    // End with the signal's own default action (core dump, exit status).
    ::signal(sig, SIG_DFL);
    ::raise(sig);
}

void onTerminate() {
    if (enterHandler() == Entry::Handle) {
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
        Fault f;
        f.what = "Uncaught exception";
        f.detail = detail.c_str();
        handleCrash(f);
    }
    ::signal(SIGABRT, SIG_DFL);
    std::abort();
}

}  // namespace

bool installCrashHandler(const CrashHandlerOptions& options) {
    if (options.reporterCommand.size() >= kMaxArgs) return false;
    auto* p = new Prepared;
    p->applicationName = options.applicationName;
    if (!options.reportPath.empty()) p->reportPlaces.push_back(Place::at(options.reportPath, false));
    const std::string reportName = Place::at(options.reportPath, false).name;
    for (std::string folder : options.fallbackReportFolders) {
        if (folder.empty() || reportName.empty()) continue;
        if (folder.back() != '/') folder += '/';
        p->reportPlaces.push_back(Place::at(folder + reportName, true));
    }
    for (const std::string& path : options.noticePaths) p->noticePlaces.push_back(Place::at(path, true));
    p->reporterArgs = options.reporterCommand;
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

namespace {

std::string stemOf(const std::string& fileName) {
    const auto dot = fileName.rfind('.');
    return dot == std::string::npos || dot == 0 ? fileName : fileName.substr(0, dot);
}

// A template's name as a file name: no folders, no control characters.
std::string fileNameFor(const std::string& name) {
    std::string safe;
    for (char c : name) safe += (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) ? '_' : c;
    while (!safe.empty() && safe.back() == ' ') safe.pop_back();
    if (safe.empty() || safe == "." || safe == "..") safe = "Untitled";
    return safe;
}

}  // namespace

std::string recoveredPathFor(const std::string& filePath, const std::string& name, const std::string& folder) {
    if (!filePath.empty()) {
        const auto slash = filePath.find_last_of('/');
        const std::string dir = slash == std::string::npos ? std::string() : filePath.substr(0, slash + 1);
        const std::string file = slash == std::string::npos ? filePath : filePath.substr(slash + 1);
        return dir + stemOf(file) + ".recovered.syx";
    }
    return folder + fileNameFor(name) + ".recovered.syx";
}

CRecoveryRegistry& CRecoveryRegistry::instance() {
    static CRecoveryRegistry* registry = new CRecoveryRegistry;  // never destroyed: a crash may come at exit
    return *registry;
}

void CRecoveryRegistry::setFolders(const std::vector<std::string>& folders) {
    std::lock_guard<std::mutex> lock(mutex_);
    folders_.clear();
    for (std::string f : folders) {
        if (f.empty()) continue;
        if (f.back() != '/') f += '/';
        folders_.push_back(f);
    }
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

std::vector<Place> CRecoveryRegistry::placesFor(const std::string& filePath, const std::string& name,
                                                std::vector<std::string>& taken) const {
    // A name no earlier template claimed in that folder: "NAME", "NAME (2)", ...
    auto claim = [&taken](const std::string& folder, const std::string& stem) {
        std::string path = folder + stem + ".recovered.syx";
        for (int n = 2; std::find(taken.begin(), taken.end(), path) != taken.end(); ++n)
            path = folder + stem + " (" + std::to_string(n) + ").recovered.syx";
        taken.push_back(path);
        return path;
    };
    std::vector<Place> places;
    std::string stem = fileNameFor(name);
    if (!filePath.empty()) {
        const Place own = Place::at(filePath, false);
        stem = stemOf(own.name);
        places.push_back(Place::at(claim(own.folder, stem), false));
    }
    for (const std::string& folder : folders_) places.push_back(Place::at(claim(folder, stem), true));
    return places;
}

void CRecoveryRegistry::refresh() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<std::string> taken;
    for (Slot& s : slots_) {
        if (!s.used.load()) continue;
        const bool modified = s.source.isModified && s.source.isModified();
        if (!modified || !s.source.bytes) {
            s.active.store(-1);
            continue;
        }
        const std::string filePath = s.source.filePath ? s.source.filePath() : std::string();
        const std::string name = s.source.name ? s.source.name() : std::string();
        std::vector<Place> places = placesFor(filePath, name, taken);
        ByteSequence bytes = s.source.bytes();
        const int current = s.active.load();
        auto samePlaces = [&places](const std::vector<Place>& other) {
            if (other.size() != places.size()) return false;
            for (size_t i = 0; i < places.size(); ++i)
                if (other[i].path != places[i].path) return false;
            return true;
        };
        if (current >= 0 && samePlaces(s.copies[current].places) && s.copies[current].bytes == bytes.vector() &&
            s.copies[current].name == name)
            continue;
        // Fill the copy the handler is not reading, then switch to it.
        Copy& next = s.copies[current == 0 ? 1 : 0];
        next.name = name;
        next.places = std::move(places);
        next.bytes = bytes.vector();
        s.active.store(current == 0 ? 1 : 0);
    }
}

int CRecoveryRegistry::writeCopies() noexcept {
    int written = 0;
    for (Slot& s : slots_) {
        s.written = -1;
        if (!s.used.load()) continue;
        const int a = s.active.load();
        if (a < 0) continue;
        s.writtenCopy = a;
        const Copy& c = s.copies[a];
        s.written = -2;
        for (size_t i = 0; i < c.places.size(); ++i)
            if (writeInPlace(c.places[i], c.bytes.data(), c.bytes.size())) {
                s.written = static_cast<int>(i);
                ++written;
                break;
            }
    }
    return written;
}

bool CRecoveryRegistry::listCopies(int fd) const noexcept {
    Out out{fd};
    for (const Slot& s : slots_) {
        if (s.written == -1) continue;
        const Copy& c = s.copies[s.writtenCopy];
        if (s.written >= 0) {
            out.put("Recovered: ");
            out.put(c.places[static_cast<size_t>(s.written)].path.c_str());
        } else {
            out.put("Not recovered: ");
            out.put(c.name.c_str());
        }
        out.put("\n");
    }
    return out.ok;
}

int CRecoveryRegistry::recoveredPaths(const char** out, int max) const noexcept {
    int n = 0;
    for (const Slot& s : slots_)
        if (s.written >= 0 && n < max) out[n++] = s.copies[s.writtenCopy].places[static_cast<size_t>(s.written)].path.c_str();
    return n;
}

int CRecoveryRegistry::lostNames(const char** out, int max) const noexcept {
    int n = 0;
    for (const Slot& s : slots_)
        if (s.written == -2 && n < max) out[n++] = s.copies[s.writtenCopy].name.c_str();
    return n;
}

int CRecoveryRegistry::writeAll(int reportFd) noexcept {
    const int written = writeCopies();
    listCopies(reportFd);
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

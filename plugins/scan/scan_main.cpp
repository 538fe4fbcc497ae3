// tangra-qv-plugin-scan: examines VST 2 plug-in files for the editor and the
// command-line tool, away from their processes.
//
// Usage: tangra-qv-plugin-scan [--timeout SECONDS] [--one-per-process] [--files-from-stdin] [FILE...]
// With --files-from-stdin the files are read from standard input, separated
// by NUL bytes. Records (see ScanProtocol.h) go to standard output.
//
// The files are examined in a worker process; plug-ins write nothing to our
// standard output because the worker's goes to /dev/null. When a plug-in
// crashes or does not answer within the time-out, the worker is ended, the
// file is reported as skipped and a fresh worker takes the following files.
// A crash in a worker that had already examined other files is checked
// again in a process of its own, so that damage left by an earlier plug-in
// is not blamed on the wrong file.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "PluginExaminer.h"
#include "plugins/ScanProtocol.h"

namespace {

using Clock = std::chrono::steady_clock;

bool writeAll(int fd, const std::string& text) {
    const char* p = text.data();
    size_t left = text.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<size_t>(n);
    }
    return true;
}

void emit(const std::string& record) {
    // Nobody reads any more: stop quietly.
    if (!writeAll(STDOUT_FILENO, record)) _exit(0);
}

[[noreturn]] void runWorker(const std::vector<std::string>& files, size_t first, size_t last, int out,
                            pid_t supervisor) {
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != supervisor) _exit(0);
    const int devNull = open("/dev/null", O_RDWR);
    if (devNull >= 0) {
        dup2(devNull, STDIN_FILENO);
        dup2(devNull, STDOUT_FILENO);
        dup2(devNull, STDERR_FILENO);
    }
    for (size_t i = first; i < last; ++i) {
        if (!writeAll(out, ScanProtocol::examiningRecord(files[i]))) _exit(1);
        ScannedPlugin plugin;
        std::string reason;
        const std::string record = PluginExaminer::examine(files[i], plugin, reason)
                                       ? ScanProtocol::describedRecord(plugin)
                                       : ScanProtocol::skippedRecord(files[i], reason);
        if (!writeAll(out, record)) _exit(1);
    }
    // Skip the plug-ins' static destructors: their faults are not ours to report.
    _exit(0);
}

struct WorkerResult {
    size_t next = 0;           // first file not handled
    bool failed = false;       // the file `next` was being examined when the worker ended
    bool timedOut = false;
    std::string reason;
};

std::string endReason(int status) {
    if (WIFSIGNALED(status)) {
        const int sig = WTERMSIG(status);
        const char* name = strsignal(sig);
        return std::string("crashed (") + (name ? name : "signal " + std::to_string(sig)) + ")";
    }
    if (WIFEXITED(status)) return "ended the process (exit status " + std::to_string(WEXITSTATUS(status)) + ")";
    return "ended the process";
}

// The worker's process group while a batch runs, for the SIGTERM handler.
volatile sig_atomic_t g_workerGroup = 0;

// Asked to stop (the editor cancelled the search): the worker and whatever
// its plug-ins started go with us.
void onTerminate(int) {
    if (g_workerGroup > 0) kill(-static_cast<pid_t>(g_workerGroup), SIGKILL);
    _exit(1);
}

// True once the worker has ended; it stays a zombie until reaped, so that its
// process group cannot be taken by another process meanwhile.
bool workerEnded(pid_t pid) {
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid;
}

WorkerResult runBatch(const std::vector<std::string>& files, size_t first, size_t last, int timeoutSeconds) {
    WorkerResult result;
    result.next = first;
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        result.failed = true;
        result.reason = std::string("could not start a worker: ") + std::strerror(errno);
        return result;
    }
    const pid_t self = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        // A process group of its own: whatever a plug-in starts can be ended with it.
        setpgid(0, 0);
        close(fds[0]);
        runWorker(files, first, last, fds[1], self);
    }
    close(fds[1]);
    if (pid < 0) {
        close(fds[0]);
        result.failed = true;
        result.reason = std::string("could not start a worker: ") + std::strerror(errno);
        return result;
    }
    setpgid(pid, pid);  // also here, so that the group exists before anything below
    g_workerGroup = pid;

    CScanRecordReader reader;
    bool examining = false;
    auto deadline = Clock::now() + std::chrono::seconds(timeoutSeconds);
    char buffer[65536];
    // The batch ends when every file was answered, when the worker ends, or at
    // the deadline; not at the end of its output, which a process started by a
    // plug-in may keep open.
    bool ended = false;
    while (result.next < last && !ended) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) {
            result.timedOut = true;
            break;
        }
        pollfd p{fds[0], POLLIN, 0};
        const int ready = poll(&p, 1, static_cast<int>(std::min<long long>(left, 100)));
        if (ready < 0 && errno == EINTR) continue;
        if (ready == 0) {
            ended = workerEnded(pid);
            if (!ended) continue;
            // Records the worker wrote just before it ended are still to be read.
            fcntl(fds[0], F_SETFL, fcntl(fds[0], F_GETFL) | O_NONBLOCK);
        }
        for (;;) {
            const ssize_t n = read(fds[0], buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                if (n == 0) ended = true;
                break;
            }
            for (ScanEvent& e : reader.feed(std::string_view(buffer, static_cast<size_t>(n)))) {
                // Only records about the expected file, in order, count.
                if (result.next >= last || e.path != files[result.next]) continue;
                switch (e.kind) {
                    case ScanEvent::Kind::Examining:
                        examining = true;
                        deadline = Clock::now() + std::chrono::seconds(timeoutSeconds);
                        emit(ScanProtocol::examiningRecord(e.path));
                        break;
                    case ScanEvent::Kind::Described:
                        if (!examining) break;
                        emit(ScanProtocol::describedRecord(e.plugin));
                        examining = false;
                        ++result.next;
                        break;
                    case ScanEvent::Kind::Skipped:
                        if (!examining) break;
                        emit(ScanProtocol::skippedRecord(e.path, e.reason));
                        examining = false;
                        ++result.next;
                        break;
                    case ScanEvent::Kind::Finished: break;
                }
            }
            if (!ended) break;  // blocking reads: one per poll
        }
    }
    // Every batch ends with its whole group: the worker, should it still run,
    // and anything its plug-ins started.
    kill(-pid, SIGKILL);
    g_workerGroup = 0;
    close(fds[0]);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (result.next < last) {
        result.failed = true;
        result.reason = result.timedOut ? "no answer within " + std::to_string(timeoutSeconds) + " s"
                                        : endReason(status);
    }
    return result;
}

int usage() {
    std::cerr << "Usage: tangra-qv-plugin-scan [--timeout SECONDS] [--one-per-process] [--files-from-stdin] "
                 "[FILE...]\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    signal(SIGPIPE, SIG_IGN);
    signal(SIGTERM, onTerminate);
    int timeoutSeconds = 10;
    bool onePerProcess = false;
    bool fromStdin = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--timeout" && i + 1 < argc) {
            timeoutSeconds = std::atoi(argv[++i]);
            if (timeoutSeconds <= 0) return usage();
        } else if (a == "--one-per-process") {
            onePerProcess = true;
        } else if (a == "--files-from-stdin") {
            fromStdin = true;
        } else if (a == "--help" || a == "-h") {
            usage();
            return 0;
        } else if (!a.empty() && a[0] == '-') {
            return usage();
        } else {
            files.push_back(a);
        }
    }
    if (fromStdin) {
        std::string all((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
        size_t start = 0;
        while (start < all.size()) {
            size_t end = all.find('\0', start);
            if (end == std::string::npos) end = all.size();
            if (end > start) files.push_back(all.substr(start, end - start));
            start = end + 1;
        }
    }

    size_t next = 0;
    while (next < files.size()) {
        const size_t batchFirst = next;
        const size_t last = onePerProcess ? next + 1 : files.size();
        const WorkerResult r = runBatch(files, next, last, timeoutSeconds);
        next = r.next;
        if (!r.failed) continue;
        std::string reason = r.reason;
        if (!r.timedOut && next != batchFirst) {
            // The worker had examined other files before this one: examine it
            // alone before naming it as the culprit.
            const WorkerResult alone = runBatch(files, next, next + 1, timeoutSeconds);
            if (!alone.failed) {
                ++next;
                continue;
            }
            reason = alone.reason;
        }
        emit(ScanProtocol::skippedRecord(files[next], reason));
        ++next;
    }
    emit(ScanProtocol::finishedRecord());
    return 0;
}

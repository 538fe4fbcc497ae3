#include "PluginScanner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "plugins/PluginSearch.h"

namespace {

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

}  // namespace

std::string CPluginScan::defaultHelperPath() {
    if (const char* env = std::getenv("TQV_PLUGIN_SCAN"); env && *env) return env;
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    const std::string name = "tangra-qv-plugin-scan";
    if (ec) return name;
    return (self.parent_path() / name).string();
}

CPluginScan::~CPluginScan() { cancel(); }

bool CPluginScan::start(const std::vector<std::string>& files, const Options& options) {
    cancel();
    options_ = options;
    if (options_.helperPath.empty()) options_.helperPath = defaultHelperPath();
    reader_ = CScanRecordReader{};
    total_ = static_cast<int>(files.size());
    handled_ = 0;
    finished_ = cancelled_ = false;
    error_.clear();
    found_.clear();
    skipped_.clear();
    if (::access(options_.helperPath.c_str(), X_OK) != 0) {
        error_ = "The plug-in examination program " + options_.helperPath + " cannot be run: " + std::strerror(errno);
        return false;
    }

    int in[2], out[2];
    if (pipe2(in, O_CLOEXEC) != 0) {
        error_ = std::string("Cannot start the plug-in examination: ") + std::strerror(errno);
        return false;
    }
    if (pipe2(out, O_CLOEXEC) != 0) {
        error_ = std::string("Cannot start the plug-in examination: ") + std::strerror(errno);
        close(in[0]);
        close(in[1]);
        return false;
    }
    const std::string timeout = std::to_string(options_.timeoutSeconds);
    const char* argv[] = {options_.helperPath.c_str(), "--timeout", timeout.c_str(), "--files-from-stdin", nullptr};
    const pid_t parent = getpid();
    const pid_t pid = fork();
    if (pid == 0) {
        // Only calls that are safe between fork and exec from here on.
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        const int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (devNull >= 0) dup2(devNull, STDERR_FILENO);
        execv(argv[0], const_cast<char* const*>(argv));
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    if (pid < 0) {
        error_ = std::string("Cannot start the plug-in examination: ") + std::strerror(errno);
        close(in[1]);
        close(out[0]);
        return false;
    }
    pid_ = pid;
    out_ = out[0];
    // The helper reads the whole list before it starts, so this cannot wait
    // on our own reading.
    std::string list;
    for (const std::string& f : files) list.append(f).push_back('\0');
    struct sigaction ignore {}, previous{};
    ignore.sa_handler = SIG_IGN;
    sigaction(SIGPIPE, &ignore, &previous);
    const bool sent = writeAll(in[1], list);
    sigaction(SIGPIPE, &previous, nullptr);
    close(in[1]);
    if (!sent) {
        error_ = "The plug-in examination program did not take the list of files.";
        cancel();
        cancelled_ = false;
        return false;
    }
    fcntl(out_, F_SETFL, fcntl(out_, F_GETFL) | O_NONBLOCK);
    return true;
}

void CPluginScan::handle(const ScanEvent& e, IPluginHost* host) {
    switch (e.kind) {
        case ScanEvent::Kind::Examining:
            if (host) host->ExaminingFile(e.path);
            break;
        case ScanEvent::Kind::Described: {
            found_.push_back(PluginNames::describe(e.plugin, options_.maxNameLength));
            ++handled_;
            if (host) host->Examined(found_.back());
            break;
        }
        case ScanEvent::Kind::Skipped:
            skipped_.push_back({e.path, e.reason});
            ++handled_;
            if (host) host->Skipped(skipped_.back());
            break;
        case ScanEvent::Kind::Finished: finished_ = true; break;
    }
}

bool CPluginScan::poll(int waitMs, IPluginHost* host) {
    if (pid_ <= 0) return false;
    pollfd p{out_, POLLIN, 0};
    int r = ::poll(&p, 1, waitMs);
    if (r < 0 && errno != EINTR) {
        error_ = std::string("Lost the plug-in examination: ") + std::strerror(errno);
        cancel();
        return false;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(out_, buffer, sizeof buffer);
        if (n > 0) {
            for (const ScanEvent& e : reader_.feed(std::string_view(buffer, static_cast<size_t>(n)))) {
                handle(e, host);
                // A host may cancel from inside a report.
                if (pid_ <= 0) return false;
            }
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return true;
        break;  // end of output
    }
    reap();
    return false;
}

void CPluginScan::reap() {
    if (out_ >= 0) close(out_);
    out_ = -1;
    int status = 0;
    while (waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    if (!finished_ && !cancelled_ && error_.empty()) {
        if (WIFEXITED(status) && WEXITSTATUS(status) == 127)
            error_ = "The plug-in examination program " + options_.helperPath + " could not be started.";
        else
            error_ = "The plug-in examination stopped before it examined every file.";
    }
}

void CPluginScan::cancel() {
    if (pid_ <= 0) return;
    // Asked politely first, the helper ends its worker's whole process group,
    // processes started by plug-ins included; a helper that does not end at
    // once is killed.
    kill(pid_, SIGTERM);
    for (int i = 0; i < 50; ++i) {
        siginfo_t info{};
        if (waitid(P_PID, static_cast<id_t>(pid_), &info, WEXITED | WNOHANG | WNOWAIT) == 0 && info.si_pid == pid_)
            break;
        usleep(10000);
    }
    kill(pid_, SIGKILL);
    cancelled_ = true;
    reap();
}

bool searchPlugins(const std::vector<std::string>& folders, const CPluginScan::Options& options, IPluginHost* host,
                   std::vector<PluginInfo>& found, std::vector<SkippedPlugin>& skipped, std::string& error,
                   const std::function<bool()>& keepGoing) {
    const std::vector<std::string> files = PluginSearch::findPluginFiles(folders);
    found.clear();
    skipped.clear();
    error.clear();
    if (files.empty()) return true;
    CPluginScan scan;
    if (!scan.start(files, options)) {
        error = scan.error();
        return false;
    }
    while (scan.poll(keepGoing ? 100 : -1, host)) {
        if (keepGoing && !keepGoing()) scan.cancel();
    }
    found = scan.found();
    skipped = scan.skipped();
    error = scan.error();
    if (scan.cancelled()) {
        error = "The plug-in search was cancelled.";
        return false;
    }
    return error.empty();
}

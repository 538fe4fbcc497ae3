#pragma once
// The crash handler: on a fatal signal or an uncaught exception it writes a
// crash report (the fault and a stack trace) into the temporary folder,
// saves every modified template it was told about as "NAME.recovered.syx",
// and starts a separate reporter process that offers the report.
//
// Everything done at crash time is restricted to what is safe inside a
// signal handler: the templates are serialised beforehand (see
// CRecoveryRegistry::refresh) and only written out when the crash comes.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "model/ByteSequence.h"

namespace report {

struct CrashHandlerOptions {
    std::string applicationName;  // heads the report
    std::string reportPath;       // the crash report file
    // Program and arguments of the reporter; the report's path is appended.
    // Empty: no reporter is started.
    std::vector<std::string> reporterCommand;
};

// Installs the handler for SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT and
// std::terminate. May be called again to change the options.
bool installCrashHandler(const CrashHandlerOptions& options);

// Where a modified template is saved at crash time: beside its file
// ("song.syx" -> "song.recovered.syx"), or in the temporary folder under
// its name when it never had a file.
std::string recoveredPathFor(const std::string& filePath, const std::string& name, const std::string& tempDir);

// The open templates that a crash should not lose. The application adds
// each open template with callbacks that describe it, removes it when it is
// closed, and calls refresh() regularly on the thread that edits them (the
// idle loop); refresh keeps a serialised copy of every modified template,
// which is all the crash handler writes.
class CRecoveryRegistry {
public:
    struct Source {
        std::function<bool()> isModified;
        std::function<ByteSequence()> bytes;
        std::function<std::string()> filePath;  // empty when never saved
        std::function<std::string()> name;      // names the file when it has no path
    };

    static CRecoveryRegistry& instance();

    int add(Source source);  // returns a handle, or -1 when full
    void remove(int handle);
    void refresh();
    // Folder for templates without a file or beside an unwritable one.
    void setTemporaryDirectory(const std::string& dir);

    // Crash time only (async-signal-safe): writes every held copy and lists
    // the written files, one "Recovered: PATH" line each, on reportFd (if
    // >= 0). Returns how many were written.
    int writeAll(int reportFd) noexcept;

    static constexpr int kMaxSources = 64;

private:
    struct Copy {
        std::string path, tempPath, fallbackPath, fallbackTempPath;
        std::vector<uint8_t> bytes;
    };
    struct Slot {
        std::atomic<bool> used{false};
        std::atomic<int> active{-1};  // index into copies, -1: nothing to save
        Copy copies[2];
        Source source;
    };
    Slot slots_[kMaxSources];
    std::mutex mutex_;
    std::string tempDir_;
};

// Test support: makes this process fail in the given way ("segv", "bus",
// "ill", "fpe", "abort", "throw"). Returns only for an unknown kind.
void crashForTesting(const std::string& kind);

}  // namespace report

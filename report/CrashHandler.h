#pragma once
// The crash handler: on a fatal signal or an uncaught exception it saves every
// modified template it was told about as "NAME.recovered.syx", writes a crash
// report (the fault, a stack trace, where each template went, the memory
// map) into the user's private report folder, and starts a separate reporter
// process that offers the report and tells the user where the templates are.
//
// Everything done at crash time is restricted to what is safe inside a
// signal handler, even after the heap was corrupted: the templates are
// serialised beforehand (see CRecoveryRegistry::refresh), every path is
// prepared at installation, and the reporter is started with _Fork and
// execve, which take none of the C library's locks.
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "model/ByteSequence.h"
#include "report/PrivateFiles.h"

namespace report {

struct CrashHandlerOptions {
    std::string applicationName;  // heads the report
    std::string reportPath;       // the crash report file
    // Folders for the report, in order, when reportPath cannot take it (same
    // file name; made when missing).
    std::vector<std::string> fallbackReportFolders;
    // Where the list of saved templates is left for the next start of the
    // program; the first that takes it is used. Made only when templates
    // were saved or lost.
    std::vector<std::string> noticePaths;
    // Program and arguments of the reporter. Appended: the report's path
    // (empty when no report could be written), then "--recovered PATH" for
    // each saved template and "--not-recovered NAME" for each one that no
    // folder took. Empty: no reporter is started.
    std::vector<std::string> reporterCommand;
};

// Installs the handler for SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT and
// std::terminate. May be called again to change the options.
bool installCrashHandler(const CrashHandlerOptions& options);

// The first choice for a modified template at crash time: beside its file
// ("song.syx" -> "song.recovered.syx"), or, when it never had a file, in
// `folder` under its name (made fit for a file name).
std::string recoveredPathFor(const std::string& filePath, const std::string& name, const std::string& folder);

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
    // Folders, in order, for templates without a file or whose own folder
    // cannot take the copy; each is made when missing. Two templates never
    // share a name in one folder.
    void setFolders(const std::vector<std::string>& folders);

    // Crash time only (async-signal-safe): writes every held copy, each in the
    // first of its places that takes it completely, and lists the result on
    // reportFd (if >= 0), one "Recovered: PATH" or "Not recovered: NAME" line
    // each. Returns how many were written.
    int writeAll(int reportFd) noexcept;
    // The parts of writeAll, for the crash handler.
    int writeCopies() noexcept;
    bool listCopies(int fd) const noexcept;  // false when a write failed
    // After writeCopies: the written files' paths and the lost templates'
    // names, as long as the registry lives. Return how many were stored.
    int recoveredPaths(const char** out, int max) const noexcept;
    int lostNames(const char** out, int max) const noexcept;

    static constexpr int kMaxSources = 64;

private:
    struct Copy {
        std::string name;           // shown when no place took it
        std::vector<Place> places;  // in order of preference
        std::vector<uint8_t> bytes;
    };
    struct Slot {
        std::atomic<bool> used{false};
        std::atomic<int> active{-1};  // index into copies, -1: nothing to save
        Copy copies[2];
        Source source;
        int written = -1;  // after writeCopies: index of the place taken, -2: none
        int writtenCopy = 0;
    };
    std::vector<Place> placesFor(const std::string& filePath, const std::string& name,
                                 std::vector<std::string>& taken) const;

    Slot slots_[kMaxSources];
    std::mutex mutex_;
    std::vector<std::string> folders_;
};

// Test support: makes this process fail in the given way ("segv", "bus",
// "ill", "fpe", "abort", "throw"). Returns only for an unknown kind.
void crashForTesting(const std::string& kind);

}  // namespace report

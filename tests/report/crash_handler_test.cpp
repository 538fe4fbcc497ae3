// The crash handler, run in child processes that really crash.
#include <gtest/gtest.h>

#include <signal.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <fstream>
#include <iterator>
#include <thread>

#include "report/CrashHandler.h"
#include "report/CrashReport.h"

namespace fs = std::filesystem;
using namespace report;

namespace {

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<uint8_t> bytesOf(const std::string& path) {
    const std::string s = readText(path);
    return {s.begin(), s.end()};
}

class CrashHandler : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/tqv-crash-XXXXXX";
        dir = ::mkdtemp(pattern);
        dir += "/";
    }
    void TearDown() override { fs::remove_all(dir); }

    // Forks a child that registers templates, installs the handler and
    // fails in the given way; returns the child's wait status.
    int crashChild(const std::string& kind, bool withReporter = true) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            auto& registry = CRecoveryRegistry::instance();
            registry.setFolders({dir});
            registry.add({[] { return true; }, [this] { return ByteSequence(saved); },
                          [this] { return dir + "song.syx"; }, [] { return "Song"; }});
            registry.add({[] { return true; }, [this] { return ByteSequence(untitled); }, [] { return ""; },
                          [] { return "New/Template"; }});
            registry.add({[] { return false; }, [] { return ByteSequence({9}); },
                          [this] { return dir + "clean.syx"; }, [] { return "Clean"; }});
            registry.add({[] { return true; }, [this] { return ByteSequence(elsewhere); },
                          [this] { return dir + "gone/away.syx"; }, [] { return "Away"; }});
            registry.refresh();
            CrashHandlerOptions options;
            options.applicationName = "Test Editor";
            options.reportPath = dir + "Test Editor.dmp";
            if (withReporter)
                options.reporterCommand = {"/bin/sh", "-c", "cp \"$1\" \"$0\"", dir + "reporter-saw.dmp"};
            installCrashHandler(options);
            crashForTesting(kind);
            ::_exit(99);  // the crash did not happen
        }
        int status = 0;
        ::waitpid(pid, &status, 0);
        return status;
    }

    bool waitForFile(const std::string& path) {
        for (int i = 0; i < 100; ++i) {
            if (fs::exists(path) && fs::file_size(path) > 0) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }

    std::string dir;
    std::vector<uint8_t> saved = std::vector<uint8_t>(4112, 0x11);
    std::vector<uint8_t> untitled = std::vector<uint8_t>(4112, 0x22);
    std::vector<uint8_t> elsewhere = {0xF0, 0x33, 0xF7};
};

}  // namespace

TEST_F(CrashHandler, EachFatalFaultWritesReportRecoversAndStartsReporter) {
    struct Case {
        const char* kind;
        int signal;
        const char* fault;
    };
    const Case cases[] = {
        {"segv", SIGSEGV, "Fault: SIGSEGV (invalid memory access) at address 0x0\n"},
        {"bus", SIGBUS, "Fault: SIGBUS"},
        {"ill", SIGILL, "Fault: SIGILL"},
        {"fpe", SIGFPE, "Fault: SIGFPE"},
        {"abort", SIGABRT, "Fault: SIGABRT"},
        {"throw", SIGABRT, "Fault: Uncaught exception: std::runtime_error: test crash requested"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.kind);
        fs::remove_all(dir);
        fs::create_directories(dir);
        const int status = crashChild(c.kind);
        // The process still ends by its own signal.
        ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
        EXPECT_EQ(c.signal, WTERMSIG(status));

        const std::string report = readText(dir + "Test Editor.dmp");
        EXPECT_EQ(0u, report.find("Test Editor crash report\n")) << report;
        EXPECT_NE(std::string::npos, report.find(c.fault)) << report;
        EXPECT_NE(std::string::npos, report.find("\nBacktrace:\n"));
        EXPECT_NE(std::string::npos, report.find("\nEnd of report\n"));
        // The trace holds frames, and the map to find them in.
        EXPECT_NE(std::string::npos, report.find(")[0x"));
        EXPECT_NE(std::string::npos, report.find("tqv-report-tests"));

        // Every modified template is saved; the unmodified one is not.
        EXPECT_EQ(saved, bytesOf(dir + "song.recovered.syx"));
        EXPECT_EQ(untitled, bytesOf(dir + "New_Template.recovered.syx"));
        EXPECT_EQ(elsewhere, bytesOf(dir + "away.recovered.syx"));  // its own folder is gone
        EXPECT_FALSE(fs::exists(dir + "clean.recovered.syx"));
        EXPECT_NE(std::string::npos, report.find("Recovered: " + dir + "song.recovered.syx\n"));
        EXPECT_NE(std::string::npos, report.find("Recovered: " + dir + "away.recovered.syx\n"));

        // The reporter ran with the report's path.
        ASSERT_TRUE(waitForFile(dir + "reporter-saw.dmp"));
        EXPECT_EQ(report, readText(dir + "reporter-saw.dmp"));
    }
}

TEST_F(CrashHandler, WithoutAReportTheReporterStillTellsWhereTemplatesWent) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        CRecoveryRegistry::instance().setFolders({dir});
        CRecoveryRegistry::instance().add({[] { return true; }, [this] { return ByteSequence(saved); },
                                           [this] { return dir + "song.syx"; }, [] { return "Song"; }});
        CRecoveryRegistry::instance().refresh();
        installCrashHandler({.applicationName = "Test Editor",
                             .reportPath = dir + "no/such/folder/report.dmp",
                             .reporterCommand = {"/bin/sh", "-c", "printf '[%s]\\n' \"$@\" > \"$0\"",
                                                 dir + "reporter-args"}});
        crashForTesting("segv");
        ::_exit(99);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(saved, bytesOf(dir + "song.recovered.syx"));
    // No report to offer: an empty path, then where the template is.
    ASSERT_TRUE(waitForFile(dir + "reporter-args"));
    EXPECT_EQ("[]\n[--recovered]\n[" + dir + "song.recovered.syx]\n", readText(dir + "reporter-args"));
}

TEST(RecoveryRegistry, CopiesFollowTheTemplates) {
    char pattern[] = "/tmp/tqv-recover-XXXXXX";
    const std::string dir = std::string(::mkdtemp(pattern)) + "/";
    CRecoveryRegistry& r = CRecoveryRegistry::instance();
    r.setFolders({dir});
    bool modified = true;
    std::vector<uint8_t> bytes = {1, 2, 3};
    const int h = r.add({[&] { return modified; }, [&] { return ByteSequence(bytes); },
                         [&] { return dir + "t.syx"; }, [] { return "T"; }});
    ASSERT_GE(h, 0);
    r.refresh();
    bytes = {4, 5};
    r.refresh();
    EXPECT_EQ(1, r.writeAll(-1));
    EXPECT_EQ(bytes, bytesOf(dir + "t.recovered.syx"));
    fs::remove(dir + "t.recovered.syx");
    modified = false;  // saved meanwhile: nothing to recover
    r.refresh();
    EXPECT_EQ(0, r.writeAll(-1));
    modified = true;
    r.refresh();
    r.remove(h);  // closed
    EXPECT_EQ(0, r.writeAll(-1));
    EXPECT_FALSE(fs::exists(dir + "t.recovered.syx"));
    fs::remove_all(dir);
}

TEST(RecoveryRegistry, RecoveredNames) {
    EXPECT_EQ("/a/b/song.recovered.syx", recoveredPathFor("/a/b/song.syx", "x", "/t/"));
    EXPECT_EQ("/a/b/song.recovered.syx", recoveredPathFor("/a/b/song", "x", "/t/"));
    EXPECT_EQ("/a/b.c/.hidden.recovered.syx", recoveredPathFor("/a/b.c/.hidden", "x", "/t/"));
    EXPECT_EQ("/t/My Pads.recovered.syx", recoveredPathFor("", "My Pads  ", "/t/"));
    EXPECT_EQ("/t/Untitled.recovered.syx", recoveredPathFor("", "..", "/t/"));
    EXPECT_EQ("/t/a_b.recovered.syx", recoveredPathFor("", "a/b", "/t/"));
}

TEST_F(CrashHandler, ReporterFindsRecoveredFilesAndSymbolises) {
    const int status = crashChild("segv", false);
    ASSERT_TRUE(WIFSIGNALED(status));
    const std::string path = dir + "Test Editor.dmp";
    const auto files = recoveredFilesIn(path);
    ASSERT_EQ(3u, files.size());
    EXPECT_EQ(dir + "song.recovered.syx", files[0]);
    ASSERT_TRUE(symbolizeCrashReport(path));
    const std::string report = readText(path);
    const auto at = report.find("\nSymbolised backtrace:\n#0 ");
    ASSERT_NE(std::string::npos, at);
    // The faulting function is named, with its source file.
    EXPECT_NE(std::string::npos, report.find("report::crashForTesting", at)) << report.substr(at);
    EXPECT_NE(std::string::npos, report.find("CrashHandler.cpp:", at));
    EXPECT_FALSE(symbolizeCrashReport(path));  // once is enough
}

namespace {

// Runs `body` in a child process and waits up to `seconds` for it to end.
// Returns the wait status, or -1 when the child hung (it is then killed).
int runChild(const std::function<void()>& body, int seconds) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        body();
        ::_exit(99);  // the crash did not happen
    }
    for (int i = 0; i < seconds * 20; ++i) {
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) return status;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    return -1;
}

}  // namespace

TEST_F(CrashHandler, DoubleFreeWithAnotherThreadRunningStillStartsTheReporter) {
    const int status = runChild(
        [this] {
            // A second thread makes the C library lock its heap for every free.
            std::thread([] {
                for (;;) std::this_thread::sleep_for(std::chrono::seconds(1));
            }).detach();
            auto& registry = CRecoveryRegistry::instance();
            registry.setFolders({dir});
            registry.add({[] { return true; }, [this] { return ByteSequence(saved); },
                          [this] { return dir + "song.syx"; }, [] { return "Song"; }});
            registry.refresh();
            installCrashHandler({.applicationName = "Test Editor", .reportPath = dir + "Test Editor.dmp", .reporterCommand = {"/bin/sh", "-c", "cp \"$1\" \"$0\"", dir + "reporter-saw.dmp"}});
            // Too large for the per-thread caches: the second free is caught
            // while the heap's lock is held.
            void* volatile block = std::malloc(4096);
            void* volatile guard = std::malloc(4096);  // keeps `block` off the heap's top
            std::free(block);
            std::free(block);
            (void)guard;
        },
        20);
    ASSERT_NE(-1, status) << "the crashed process hung";
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
    EXPECT_EQ(SIGABRT, WTERMSIG(status));
    EXPECT_EQ(saved, bytesOf(dir + "song.recovered.syx"));
    ASSERT_TRUE(waitForFile(dir + "reporter-saw.dmp")) << "no reporter ran";
    EXPECT_NE(std::string::npos, readText(dir + "reporter-saw.dmp").find("Fault: SIGABRT"));
}

TEST_F(CrashHandler, ThreadsFaultingTogetherWaitForOneCompleteReport) {
    for (int run = 0; run < 4; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        fs::remove_all(dir);
        fs::create_directories(dir);
        const int status = runChild(
            [this] {
                CRecoveryRegistry::instance().setFolders({dir});
                installCrashHandler({.applicationName = "Test Editor", .reportPath = dir + "Test Editor.dmp", .reporterCommand = {"/bin/sh", "-c", "cp \"$1\" \"$0\"", dir + "reporter-saw.dmp"}});
                static std::atomic<bool> go{false};
                std::vector<std::thread> threads;
                for (int i = 0; i < 4; ++i)
                    threads.emplace_back([] {
                        while (!go.load()) {
                        }
                        volatile int* nowhere = nullptr;
                        *nowhere = 1;
                    });
                go.store(true);
                for (auto& t : threads) t.join();
            },
            20);
        ASSERT_NE(-1, status) << "the crashed process hung";
        ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;
        EXPECT_EQ(SIGSEGV, WTERMSIG(status));
        const std::string report = readText(dir + "Test Editor.dmp");
        EXPECT_NE(std::string::npos, report.find("Fault: SIGSEGV")) << report;
        EXPECT_NE(std::string::npos, report.find("\nEnd of report\n")) << report;
        ASSERT_TRUE(waitForFile(dir + "reporter-saw.dmp")) << "no reporter ran";
        EXPECT_EQ(report, readText(dir + "reporter-saw.dmp"));
    }
}

TEST_F(CrashHandler, SignalSentByAnotherProcessNamesTheSender) {
    int ready[2];
    ASSERT_EQ(0, ::pipe(ready));
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(ready[0]);
        installCrashHandler({.applicationName = "Test Editor", .reportPath = dir + "Test Editor.dmp"});
        if (::write(ready[1], "x", 1) != 1) ::_exit(98);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char c;
    ASSERT_EQ(1, ::read(ready[0], &c, 1));
    ::close(ready[0]);
    ::kill(pid, SIGSEGV);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(SIGSEGV, WTERMSIG(status));
    const std::string report = readText(dir + "Test Editor.dmp");
    EXPECT_NE(std::string::npos,
              report.find("Fault: SIGSEGV (invalid memory access), sent by process " + std::to_string(::getpid())))
        << report.substr(0, 200);
    // The sender's process id is no fault address.
    EXPECT_EQ(std::string::npos, report.find("at address")) << report.substr(0, 200);
}

TEST_F(CrashHandler, PlantedLinksAreNeverWrittenThrough) {
    // Links planted where the report, a recovered copy and its temporary file go.
    const std::string precious = "precious\n";
    for (const char* victim : {"victim-report", "victim-copy", "victim-temp"}) std::ofstream(dir + victim) << precious;
    fs::create_symlink(dir + "victim-report", dir + "Test Editor.dmp");
    fs::create_symlink(dir + "victim-copy", dir + "New_Template.recovered.syx");
    fs::create_symlink(dir + "victim-temp", dir + ".song.recovered.syx.tmp");
    fs::create_symlink(dir + "victim-temp", dir + ".Test Editor.dmp.tmp");
    const int status = crashChild("segv");
    ASSERT_TRUE(WIFSIGNALED(status));
    for (const char* victim : {"victim-report", "victim-copy", "victim-temp"})
        EXPECT_EQ(precious, readText(dir + victim)) << victim << " was written through a link";
    for (const char* made : {"Test Editor.dmp", "New_Template.recovered.syx", "song.recovered.syx"}) {
        SCOPED_TRACE(made);
        struct stat st {};
        ASSERT_EQ(0, ::lstat((dir + made).c_str(), &st));
        EXPECT_TRUE(S_ISREG(st.st_mode));
        EXPECT_EQ(0600u, st.st_mode & 07777);
    }
    EXPECT_EQ(untitled, bytesOf(dir + "New_Template.recovered.syx"));
    EXPECT_EQ(saved, bytesOf(dir + "song.recovered.syx"));
}

namespace {

// Gives this process a mount namespace of its own (through a user namespace
// when it is not root), so that it can mount small file systems that nobody
// else sees and that vanish with it. False when the system does not allow it.
bool privateMounts() {
    if (::geteuid() == 0) {
        if (::unshare(CLONE_NEWNS) != 0) return false;
    } else {
        const uid_t uid = ::geteuid();
        const gid_t gid = ::getegid();
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
        std::ofstream("/proc/self/setgroups") << "deny";
        std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
        std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
    }
    return ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
}

}  // namespace

TEST_F(CrashHandler, FullAndReadOnlyFoldersFallBackAndTheUserIsTold) {
    for (const char* sub : {"full", "readonly", "data", "home", "seen"}) fs::create_directories(dir + sub);
    const std::string full = dir + "full/", readonly = dir + "readonly/", data = dir + "data/new/",
                      home = dir + "home/";
    const int status = runChild(
        [&] {
            if (!privateMounts() ||
                ::mount("tqv-full", full.c_str(), "tmpfs", 0, "size=64k") != 0 ||
                ::mount("tqv-readonly", readonly.c_str(), "tmpfs", MS_RDONLY, "size=16k") != 0)
                ::_exit(77);
            // Fill the small file system to the last byte.
            {
                std::ofstream filler(full + "filler", std::ios::binary);
                const std::string block(4096, 'x');
                for (int i = 0; i < 64 && filler.write(block.data(), block.size()); ++i) {
                }
            }
            auto& registry = CRecoveryRegistry::instance();
            registry.setFolders({full, data, home});
            // A saved template in a read-only folder, two never saved.
            registry.add({[] { return true; }, [this] { return ByteSequence(saved); },
                          [&] { return readonly + "song.syx"; }, [] { return "Song"; }});
            registry.add({[] { return true; }, [this] { return ByteSequence(untitled); }, [] { return ""; },
                          [] { return "Untitled"; }});
            registry.add({[] { return true; }, [this] { return ByteSequence(elsewhere); }, [] { return ""; },
                          [] { return "Untitled"; }});
            registry.refresh();
            // The reporter runs in the same mount namespace: it also notes
            // what the full file system holds.
            installCrashHandler({.applicationName = "Test Editor",
                                 .reportPath = full + "Test Editor.dmp",
                                 .fallbackReportFolders = {readonly, data},
                                 .noticePaths = {readonly + "notice.txt", home + "notice.txt"},
                                 .reporterCommand = {"/bin/sh", "-c",
                                                     "ls -A \"$1\" > \"$0.full\"; shift; printf '[%s]\\n' \"$@\" > \"$0\"",
                                                     dir + "seen/args", full}});
            crashForTesting("segv");
        },
        20);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 77) GTEST_SKIP() << "no private mounts here";
    ASSERT_TRUE(WIFSIGNALED(status)) << "status " << status;

    // Each template in the first folder that took all of it, under a name of its own.
    EXPECT_EQ(saved, bytesOf(data + "song.recovered.syx"));
    EXPECT_EQ(untitled, bytesOf(data + "Untitled.recovered.syx"));
    EXPECT_EQ(elsewhere, bytesOf(data + "Untitled (2).recovered.syx"));
    // The report too, complete, naming them.
    const std::string report = readText(data + "Test Editor.dmp");
    EXPECT_NE(std::string::npos, report.find("\nEnd of report\n"));
    const std::string listed = "Recovered: " + data + "song.recovered.syx\nRecovered: " + data +
                               "Untitled.recovered.syx\nRecovered: " + data + "Untitled (2).recovered.syx\n";
    EXPECT_NE(std::string::npos, report.find(listed)) << report.substr(0, 1500);
    // The next start finds the same list, should the reporter not get to show it.
    EXPECT_EQ(listed, readText(home + "notice.txt"));
    // The reporter is given the report and every place.
    ASSERT_TRUE(waitForFile(dir + "seen/args"));
    EXPECT_EQ("[" + data + "Test Editor.dmp]\n[--recovered]\n[" + data + "song.recovered.syx]\n[--recovered]\n[" +
                  data + "Untitled.recovered.syx]\n[--recovered]\n[" + data + "Untitled (2).recovered.syx]\n",
              readText(dir + "seen/args"));
    // Nothing half-written stays in the full folder.
    EXPECT_EQ("filler\n", readText(dir + "seen/args.full"));
}

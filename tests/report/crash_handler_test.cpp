// The crash handler, run in child processes that really crash.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
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
            registry.setTemporaryDirectory(dir);
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

TEST_F(CrashHandler, UnwritableReportStillRecoversTemplates) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        CRecoveryRegistry::instance().setTemporaryDirectory(dir);
        CRecoveryRegistry::instance().add({[] { return true; }, [this] { return ByteSequence(saved); },
                                           [this] { return dir + "song.syx"; }, [] { return "Song"; }});
        CRecoveryRegistry::instance().refresh();
        installCrashHandler({"Test Editor", dir + "no/such/folder/report.dmp",
                             {"/bin/sh", "-c", "touch \"$0\"", dir + "reporter-ran"}});
        crashForTesting("segv");
        ::_exit(99);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(saved, bytesOf(dir + "song.recovered.syx"));
    // Without a report there is nothing to offer.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_FALSE(fs::exists(dir + "reporter-ran"));
}

TEST(RecoveryRegistry, CopiesFollowTheTemplates) {
    char pattern[] = "/tmp/tqv-recover-XXXXXX";
    const std::string dir = std::string(::mkdtemp(pattern)) + "/";
    CRecoveryRegistry& r = CRecoveryRegistry::instance();
    r.setTemporaryDirectory(dir);
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

// Files that are not what they claim to be, links, full disks and killed
// saves: the readers and writers of SysEx files stay bounded and leave
// nothing broken or behind.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <random>
#include <thread>

#include "model/TemplateFile.h"

namespace fs = std::filesystem;

namespace {
class FileSafety : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("tqv-file-safety-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string put(const std::string& name, const std::vector<uint8_t>& content) {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(content.data()),
                                                    static_cast<std::streamsize>(content.size()));
        return path;
    }
    static std::vector<uint8_t> slurp(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::vector<std::string> names() const {
        std::vector<std::string> out;
        for (const auto& e : fs::directory_iterator(dir)) out.push_back(e.path().filename().string());
        std::sort(out.begin(), out.end());
        return out;
    }
    // A file of `size` bytes that starts a message and never ends it; sparse,
    // so that it costs no disk space (the rest reads as zero bytes).
    std::string neverEnded(const std::string& name, off_t size) {
        const std::string path = put(name, {0xF0, 0x00, 0x20, 0x29});
        EXPECT_EQ(::truncate(path.c_str(), size), 0);
        return path;
    }
    fs::path dir;
};

long peakMemoryKb() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}
}  // namespace

TEST_F(FileSafety, AMessageThatNeverEndsIsReadOnlyUpToTheCap) {
    const std::string huge = neverEnded("huge.syx", off_t{1} << 30);  // 1 GB
    const long before = peakMemoryKb();
    const auto start = std::chrono::steady_clock::now();
    ByteSequence bytes;
    std::string error;
    EXPECT_FALSE(readMessageFromFile(huge, bytes, 0, error));
    EXPECT_TRUE(error.empty()) << error;  // a readable file, just not a template
    EXPECT_LE(bytes.size(), kMaxSysExMessageSize + 64 * 1024);
    CSysExMetaStream stream;
    stream.loadFromFile(huge);
    EXPECT_TRUE(stream.messages.empty());
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(peakMemoryKb() - before, 200 * 1024) << "memory grew with the file";
    EXPECT_LT(seconds, 5.0);
}

TEST_F(FileSafety, MessagesUpToTheCapAreRead) {
    struct Case {
        size_t size;
        bool valid;
    };
    for (const Case c : {Case{kMaxSysExMessageSize, true}, Case{kMaxSysExMessageSize + 1, false}}) {
        std::vector<uint8_t> content(c.size, 0x01);
        content.front() = 0xF0;
        content.back() = 0xF7;
        const std::string path = put("long.syx", content);
        ByteSequence bytes;
        EXPECT_EQ(readMessageFromFile(path, bytes, 0), c.valid) << c.size;
        if (c.valid) {
            EXPECT_EQ(bytes.vector(), content);
        }
        CSysExMetaStream stream;
        stream.loadFromFile(path);
        EXPECT_EQ(stream.messages.size(), c.valid ? 1u : 0u) << c.size;
    }
}

TEST_F(FileSafety, OnlyRegularFilesAreRead) {
    ASSERT_EQ(::mkfifo((dir / "pipe.syx").c_str(), 0600), 0);
    const std::string regular = put("t.syx", {0xF0, 0x00, 0x20, 0x29, 0x01, 0xF7});
    fs::create_symlink(regular, dir / "link.syx");
    struct Case {
        std::string path;
        std::string reason;  // empty: readable
    };
    const Case cases[] = {
        {"/dev/zero", "'/dev/zero' is not a regular file"},
        {(dir / "pipe.syx").string(), "'" + (dir / "pipe.syx").string() + "' is not a regular file"},
        {dir.string(), "'" + dir.string() + "' is a folder, not a file"},
        {regular, ""},
        {(dir / "link.syx").string(), ""},
        {(dir / "missing.syx").string(), ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(notAFileReason(c.path), c.reason) << c.path;
        // Neither reader may spin on a device or wait on a pipe.
        auto read = std::async(std::launch::async, [&] {
            ByteSequence bytes;
            std::string error;
            readMessageFromFile(c.path, bytes, 0, error);
            CSysExMetaStream stream;
            stream.loadFromFile(c.path);
            return error;
        });
        if (read.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
            ADD_FAILURE() << "reading " << c.path << " does not return";
            std::ofstream((dir / "pipe.syx").string()) << "x";  // release a reader stuck on the pipe
            read.wait();
            continue;
        }
        const std::string error = read.get();
        if (!c.reason.empty()) {
            EXPECT_EQ(error, c.reason);
        } else if (c.path.find("missing") == std::string::npos) {
            EXPECT_EQ(error, "");
        }
    }
}

TEST_F(FileSafety, SavingThroughADanglingLinkCreatesItsFileAndKeepsTheLink) {
    fs::create_directories(dir / "sub");
    struct Case {
        std::string link;
        fs::path linkTarget;  // as written in the link
        fs::path file;        // the file it finally names
    };
    const Case cases[] = {
        {"absolute.syx", dir / "a.syx", dir / "a.syx"},
        {"relative.syx", "sub/r.syx", dir / "sub" / "r.syx"},
        {"chain.syx", "absolute2.syx", dir / "c.syx"},
    };
    fs::create_symlink(dir / "c.syx", dir / "absolute2.syx");
    for (const auto& c : cases) {
        fs::create_symlink(c.linkTarget, dir / c.link);
        std::string error;
        ASSERT_TRUE(writeBytesToFile((dir / c.link).string(), ByteSequence{1, 2, 3}, false, error)) << c.link << ": " << error;
        EXPECT_TRUE(fs::is_symlink(dir / c.link)) << c.link;
        EXPECT_EQ(fs::read_symlink(dir / c.link), c.linkTarget) << c.link;
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(c.file))) << c.link;
        EXPECT_EQ(slurp(c.file.string()), (std::vector<uint8_t>{1, 2, 3})) << c.link;
    }
}

TEST_F(FileSafety, AFailedWriteSaysWhyAndKeepsTheOldFile) {
    const std::string path = put("t.syx", {7, 7, 7});
    // A file size limit stands in for a full disk.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 2;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    std::string error;
    const bool wrote = writeBytesToFile(path, ByteSequence{1, 2, 3, 4, 5, 6}, false, error);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(wrote);
    EXPECT_EQ(error, std::strerror(EFBIG));
    EXPECT_EQ(slurp(path), (std::vector<uint8_t>{7, 7, 7}));
    EXPECT_EQ(names(), std::vector<std::string>{"t.syx"});

    EXPECT_FALSE(writeBytesToFile((dir / "no" / "t.syx").string(), ByteSequence{1}, false, error));
    EXPECT_EQ(error, std::strerror(ENOENT));
}

TEST_F(FileSafety, StaleTemporariesOfKilledSavesAreRemoved) {
    const std::string path = put("t.syx", {7});
    // A process that has ended, and one that is still running.
    const pid_t gone = ::fork();
    if (gone == 0) ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const std::string stale = ".t.syx." + std::to_string(gone) + "-0123abcd.tmp";
    const std::string running = ".t.syx." + std::to_string(::getppid()) + "-0123abcd.tmp";
    for (const auto& name : {stale, running, std::string(".t.syx.backup.tmp"), std::string(".u.syx.1-0123abcd.tmp")})
        put(name, {1});
    ASSERT_TRUE(writeBytesToFile(path, ByteSequence{8}, false));
    std::vector<std::string> expected{".t.syx.backup.tmp", running, ".u.syx.1-0123abcd.tmp", "t.syx"};
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(names(), expected);
}

TEST_F(FileSafety, KillingASaveLeavesNothingBehind) {
    const std::string path = (dir / "t.syx").string();
    std::vector<uint8_t> content(64 * 1024);
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<uint8_t>(i % 128);
    const ByteSequence bytes(content);
    std::mt19937 random(42);
    for (int round = 0; round < 150; ++round) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            for (;;) writeBytesToFile(path, bytes, false);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(200 + random() % 3000));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    // Whatever the kills left, the next save leaves only the file itself.
    ASSERT_TRUE(writeBytesToFile(path, bytes, false));
    EXPECT_EQ(names(), std::vector<std::string>{"t.syx"});
    EXPECT_EQ(slurp(path), content);
}

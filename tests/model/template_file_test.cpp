#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "model/TemplateFile.h"

namespace fs = std::filesystem;

namespace {
class TempDir : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("tqv-file-test-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir);
    }
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
    fs::path dir;
};
}  // namespace

TEST(SysExValidity, Rules) {
    EXPECT_TRUE(isValidSysExMessage(ByteSequence{0xF0, 0x00, 0x20, 0x29, 0x01, 0xF7}));
    EXPECT_FALSE(isValidSysExMessage(ByteSequence{0xF0, 0x00, 0x20, 0xF7}));        // too short
    EXPECT_FALSE(isValidSysExMessage(ByteSequence{0xF0, 0x00, 0x20, 0x29, 0x80, 0xF7}));  // data byte
    EXPECT_TRUE(isValidSysExMessage(ByteSequence{0xF0, 0x80, 0x20, 0x29, 0x01, 0xF7}));   // before index 4
    EXPECT_FALSE(isValidSysExMessage(ByteSequence{0xF1, 0x00, 0x20, 0x29, 0x01, 0xF7}));
    EXPECT_FALSE(isValidSysExMessage(ByteSequence{0xF0, 0x00, 0x20, 0x29, 0x01, 0x02}));
}

TEST_F(TempDir, ReadsTheFirstMessageAfterLeadingGarbage) {
    const std::string path = put("a.syx", {0x11, 0x22, 0xF0, 0x00, 0x20, 0x29, 0x05, 0xF7, 0xF0, 0x01, 0xF7});
    ByteSequence bytes;
    ASSERT_TRUE(readMessageFromFile(path, bytes, 0));
    EXPECT_EQ(bytes, (ByteSequence{0xF0, 0x00, 0x20, 0x29, 0x05, 0xF7}));
    EXPECT_FALSE(readMessageFromFile(path, bytes, 8));  // the second one is too short to be valid
    EXPECT_EQ(bytes, (ByteSequence{0xF0, 0x01, 0xF7}));
}

TEST_F(TempDir, ReportsFilesThatCannotBeRead) {
    ByteSequence bytes;
    std::string error;
    EXPECT_FALSE(readMessageFromFile((dir / "missing.syx").string(), bytes, 0, error));
    EXPECT_NE(error.find("missing.syx"), std::string::npos);
    EXPECT_FALSE(readMessageFromFile(dir.string(), bytes, 0, error));
    EXPECT_NE(error.find("folder"), std::string::npos);
    EXPECT_FALSE(readMessageFromFile(put("empty.syx", {}), bytes, 0, error));
    EXPECT_TRUE(error.empty());  // readable, just not a message
    EXPECT_FALSE(readMessageFromFile(put("cut.syx", {0xF0, 0x00, 0x20, 0x29, 0x01}), bytes, 0, error));
}

TEST_F(TempDir, WritesNewFilesWithTheUsualMode) {
    const mode_t old = ::umask(022);
    const std::string path = (dir / "new.syx").string();
    ASSERT_TRUE(writeBytesToFile(path, ByteSequence{1, 2, 3}, false));
    ::umask(old);
    EXPECT_EQ(slurp(path), (std::vector<uint8_t>{1, 2, 3}));
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0644u);
    ASSERT_TRUE(writeBytesToFile(path, ByteSequence{4}, true));
    EXPECT_EQ(slurp(path), (std::vector<uint8_t>{1, 2, 3, 4}));
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
}

TEST_F(TempDir, ReplacingKeepsModeAndLinks) {
    const std::string path = put("t.syx", {9, 9});
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    const std::string link = (dir / "link.syx").string();
    fs::create_symlink(path, link);
    ASSERT_TRUE(writeBytesToFile(link, ByteSequence{5, 6}, false));
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(slurp(path), (std::vector<uint8_t>{5, 6}));
    EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(TempDir, AFailedWriteLeavesTheOldFileIntact) {
    if (::geteuid() == 0) {
        // Root ignores permissions; use a path whose folder does not exist instead.
        std::string error;
        EXPECT_FALSE(writeBytesToFile((dir / "no" / "such.syx").string(), ByteSequence{1}, false, error));
        EXPECT_FALSE(error.empty());
    }
    const std::string path = put("keep.syx", {7, 7, 7});
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);  // folder not writable
    std::string error;
    const bool wrote = writeBytesToFile(path, ByteSequence{1}, false, error);
    fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
    if (::geteuid() != 0) {
        EXPECT_FALSE(wrote);
        EXPECT_FALSE(error.empty());
        EXPECT_EQ(slurp(path), (std::vector<uint8_t>{7, 7, 7}));
    }
    EXPECT_FALSE(writeBytesToFile(dir.string(), ByteSequence{1}, false, error));
    EXPECT_NE(error.find("folder"), std::string::npos);
}

TEST_F(TempDir, MetaStreamReadsEveryMessage) {
    const std::string path = put("os.syx", {0xF0, 0x00, 0x20, 0x29, 0x01, 0xF7, 0x55, 0xF0, 0x00, 0x20, 0x29, 0x02,
                                            0x03, 0xF7, 0xF0, 0x00, 0x20, 0x29, 0x04, 0x05, 0x06, 0xF7});
    CSysExMetaStream stream;
    ASSERT_TRUE(stream.loadFromFile(path));
    ASSERT_EQ(stream.messages.size(), 3u);
    EXPECT_EQ(stream.messages[1], (ByteSequence{0xF0, 0x00, 0x20, 0x29, 0x02, 0x03, 0xF7}));
    EXPECT_EQ(stream.messages[2].size(), 8u);

    CSysExMetaStream none;
    EXPECT_FALSE(none.loadFromFile((dir / "missing").string()));
    EXPECT_TRUE(none.messages.empty());
    EXPECT_FALSE(none.loadFromFile(dir.string()));
}

TEST_F(TempDir, MetaStreamReadsEachMessageOnceWhateverLiesBetween) {
    const std::vector<uint8_t> a = {0xF0, 0x00, 0x20, 0x29, 0x01, 0xF7};
    const std::vector<uint8_t> b = {0xF0, 0x00, 0x20, 0x29, 0x02, 0x03, 0xF7};
    struct Case {
        const char* what;
        std::vector<uint8_t> content;
    };
    auto join = [](std::initializer_list<std::vector<uint8_t>> parts) {
        std::vector<uint8_t> all;
        for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    const std::vector<uint8_t> junk = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x08, 0x09};
    const Case cases[] = {
        {"bytes before the first", join({junk, a, b})},
        {"bytes between", join({a, junk, b})},
        {"bytes before and between", join({{0x01}, a, {0x02, 0x03}, b, {0x04}})},
    };
    for (const Case& c : cases) {
        CSysExMetaStream stream;
        EXPECT_TRUE(stream.loadFromFile(put("os.syx", c.content))) << c.what;
        ASSERT_EQ(stream.messages.size(), 2u) << c.what;
        EXPECT_EQ(stream.messages[0], ByteSequence(a)) << c.what;
        EXPECT_EQ(stream.messages[1], ByteSequence(b)) << c.what;
    }
}

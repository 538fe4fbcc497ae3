// Report files, texts, settings and message composition.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "model/TaNGRAQVTemplate.h"
#include "report/MailMessage.h"
#include "report/PrivateFiles.h"
#include "report/ReportSettings.h"
#include "report/Reports.h"

namespace fs = std::filesystem;
using namespace report;

namespace {

struct TempDir {
    TempDir() {
        char pattern[] = "/tmp/tqv-report-XXXXXX";
        path = ::mkdtemp(pattern);
        path += "/";
    }
    ~TempDir() { fs::remove_all(path); }
    std::string path;
};

std::vector<uint8_t> readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(ReportBase64, LinesOf54BytesAndPadding) {
    struct Case {
        std::vector<uint8_t> bytes;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {{}, ""},
        {{'M'}, "TQ==\n"},
        {{'M', 'a'}, "TWE=\n"},
        {{'M', 'a', 'n'}, "TWFu\n"},
        {std::vector<uint8_t>(54, 0xFF), std::string(72, '/') + "\n"},
        {std::vector<uint8_t>(55, 0xFF), std::string(72, '/') + "\n/w==\n"},
        {std::vector<uint8_t>(56, 0x00), std::string(72, 'A') + "\nAAA=\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.expected, base64Lines(c.bytes)) << c.bytes.size() << " bytes";
}

TEST(ReportServerSetting, HostAndPort) {
    struct Case {
        const char* text;
        bool ok;
        const char* host;
        int port;
    };
    const Case cases[] = {
        {"", true, kReportHost, 25},
        {"  ", true, kReportHost, 25},
        {"localhost:2525", true, "localhost", 2525},
        {"mail.example.org", true, "mail.example.org", 25},
        {"[::1]:587", true, "::1", 587},
        {"[::1]", true, "::1", 25},
        {"host:0", false, kReportHost, 25},
        {"host:65536", false, kReportHost, 25},
        {"host:25x", false, kReportHost, 25},
        {"host:", false, kReportHost, 25},
        {":25", false, kReportHost, 25},
        {"::1:25", false, kReportHost, 25},
        {"bad host:25", false, kReportHost, 25},
    };
    for (const auto& c : cases) {
        MailServer s;
        EXPECT_EQ(c.ok, parseReportServer(c.text, s)) << c.text;
        EXPECT_EQ(c.host, s.host) << c.text;
        EXPECT_EQ(c.port, s.port) << c.text;
    }
}

TEST(ReportTexts, NamesPutInEverywhere) {
    const auto crash = reportDialogTexts("Ed", "Vend", "");
    EXPECT_EQ("Ed has encountered a problem and needs to close.\nWe are very sorry for the inconvenience",
              crash.headline);
    EXPECT_EQ("Please tell Vend about this problem.", crash.appeal);
    EXPECT_EQ("We have created an error report which will help us to improve Ed. \n"
              "We will treat this report as confidential and anonymous. \n"
              "No personal data will be transmitted other than what you provide us.",
              crash.explanation);
    // A name containing the placeholder itself is put in once, not again and again.
    EXPECT_EQ("Please tell VendorName Inc about this problem.",
              reportDialogTexts("AppName", "VendorName Inc", "").appeal);
    const auto data = reportDialogTexts("Ed", "Vend", dataErrorHeadline("TaNGRA LuMI QV"));
    EXPECT_NE(std::string::npos, data.headline.find("back\nto your TaNGRA LuMI QV without corrupting it."));
    EXPECT_EQ("TaNGRA LuMI QV Editor Data Error Report", reportSubject("TaNGRA LuMI QV Editor", "Data Error"));
}

TEST(ReportFiles, NamesInTheReportFolder) {
    EXPECT_EQ("/t/TaNGRA LuMI QV Editor.dmp", crashReportPath("TaNGRA LuMI QV Editor", "/t/"));
    EXPECT_EQ("/t/TaNGRA LuMI QV EditorSyxDiff.bin", dataErrorMaskPath("TaNGRA LuMI QV Editor", "/t/"));
    EXPECT_EQ("", crashReportPath("TaNGRA LuMI QV Editor", ""));
}

TEST(ReportFiles, ReportFolderIsPrivateToTheUser) {
    TempDir t;
    const std::string runtime = t.path + "runtime";
    const std::string home = t.path + "home";
    fs::create_directories(home);
    ::mkdir(runtime.c_str(), 0700);
    EXPECT_EQ(runtime + "/", reportDirectory(runtime.c_str(), nullptr, home.c_str()));

    // A runtime folder others may enter, a link to one, or a relative path is
    // not used: a private folder under the cache folder is made instead.
    const std::string shared = t.path + "shared";
    ::mkdir(shared.c_str(), 0700);
    ::chmod(shared.c_str(), 01777);
    fs::create_directory_symlink(runtime, t.path + "link");
    for (const std::string& bad : {shared, t.path + "link", std::string("runtime")}) {
        SCOPED_TRACE(bad);
        const std::string made = reportDirectory(bad.c_str(), nullptr, home.c_str());
        ASSERT_EQ(0u, made.find(home + "/.cache/tangra-qv-editor/reports-")) << made;
        EXPECT_TRUE(isPrivateFolder(made.substr(0, made.size() - 1)));
        // The next run finds the same folder again.
        EXPECT_EQ(made, reportDirectory(nullptr, nullptr, home.c_str()));
    }
    const std::string cache = t.path + "cache";
    const std::string underCache = reportDirectory(nullptr, cache.c_str(), home.c_str());
    EXPECT_EQ(0u, underCache.find(cache + "/tangra-qv-editor/reports-")) << underCache;
    // A planted link where the folders go is not followed.
    const std::string trap = t.path + "trap";
    fs::create_directories(trap + "/target");
    fs::create_directory_symlink(trap + "/target", trap + "/tangra-qv-editor");
    EXPECT_EQ("", reportDirectory(nullptr, trap.c_str(), nullptr));
    EXPECT_TRUE(fs::is_empty(trap + "/target"));
    EXPECT_EQ("", reportDirectory(nullptr, nullptr, nullptr));
}

TEST(ReportFiles, OnlyFilesOfTheUsersOwnAreReadBack) {
    TempDir t;
    std::ofstream(t.path + "report.dmp") << "report";
    fs::create_symlink(t.path + "report.dmp", t.path + "link.dmp");
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(readTrustedFile(t.path + "report.dmp", bytes, error)) << error;
    EXPECT_EQ(6u, bytes.size());
    EXPECT_FALSE(readTrustedFile(t.path + "link.dmp", bytes, error));
    EXPECT_NE(std::string::npos, error.find("link")) << error;
    EXPECT_FALSE(readTrustedFile(t.path, bytes, error));  // a folder
    ::mkfifo((t.path + "pipe").c_str(), 0600);
    EXPECT_FALSE(readTrustedFile(t.path + "pipe", bytes, error));
    if (::geteuid() == 0) {
        // Root can make a file that belongs to somebody else.
        std::ofstream(t.path + "theirs.dmp") << "theirs";
        ASSERT_EQ(0, ::chown((t.path + "theirs.dmp").c_str(), 65534, 65534));
        EXPECT_FALSE(readTrustedFile(t.path + "theirs.dmp", bytes, error));
        EXPECT_NE(std::string::npos, error.find("not a file of this user")) << error;
    }
}

class DataErrorReport : public ::testing::Test {
protected:
    TempDir dir;
    bool allowed = true;
    std::vector<ReportRequest> offered;
    CTaNGRAQVTemplate tpl;
    CDataErrorReporter reporter{"TaNGRA LuMI QV Editor", "TaNGRA LuMI QV", [this] { return allowed; },
                                [this](const ReportRequest& r) { offered.push_back(r); }, dir.path};
    std::string maskPath() const { return dir.path + "TaNGRA LuMI QV EditorSyxDiff.bin"; }
};

TEST_F(DataErrorReport, CleanMaskWritesNothing) {
    reporter.reportDataError(tpl, ByteSequence(std::vector<uint8_t>(4112, 0)));
    reporter.reportDataError(tpl, ByteSequence());
    EXPECT_FALSE(fs::exists(maskPath()));
    EXPECT_TRUE(offered.empty());
}

TEST_F(DataErrorReport, MaskReplacesEarlierFileAndIsOffered) {
    std::vector<uint8_t> first(4112, 0);
    first[7] = 0x40;
    reporter.reportDataError(tpl, ByteSequence(first));
    std::vector<uint8_t> second(300, 0);
    second[299] = 0x01;
    reporter.reportDataError(tpl, ByteSequence(second));
    EXPECT_EQ(second, readAll(maskPath()));
    ASSERT_EQ(2u, offered.size());
    EXPECT_EQ(maskPath(), offered[1].attachmentPath);
    EXPECT_EQ("Data Error", offered[1].subjectWord);
    EXPECT_EQ(dataErrorHeadline("TaNGRA LuMI QV"), offered[1].headline);
}

TEST_F(DataErrorReport, NotAllowedKeepsTheFileOnly) {
    allowed = false;
    reporter.reportDataError(tpl, ByteSequence({0, 3, 0}));
    EXPECT_EQ((std::vector<uint8_t>{0, 3, 0}), readAll(maskPath()));
    EXPECT_TRUE(offered.empty());
}

TEST_F(DataErrorReport, UnwritableFolderOffersNothing) {
    CDataErrorReporter elsewhere("T", "D", [] { return true; },
                                 [this](const ReportRequest& r) { offered.push_back(r); },
                                 dir.path + "missing/folder/");
    elsewhere.reportDataError(tpl, ByteSequence({1}));
    EXPECT_TRUE(offered.empty());
}

TEST_F(DataErrorReport, PlantedLinkIsReplacedNotWrittenThrough) {
    std::ofstream(dir.path + "victim") << "precious";
    fs::create_symlink(dir.path + "victim", maskPath());
    fs::create_symlink(dir.path + "victim", dir.path + ".TaNGRA LuMI QV EditorSyxDiff.bin.tmp");
    reporter.reportDataError(tpl, ByteSequence({0, 3, 0}));
    EXPECT_EQ((std::vector<uint8_t>{'p', 'r', 'e', 'c', 'i', 'o', 'u', 's'}), readAll(dir.path + "victim"));
    struct stat st {};
    ASSERT_EQ(0, ::lstat(maskPath().c_str(), &st));
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(0600u, st.st_mode & 07777);
    EXPECT_EQ((std::vector<uint8_t>{0, 3, 0}), readAll(maskPath()));
}

TEST(ReportMessage, HeadersStructureAndWireForm) {
    ReportMail m;
    m.sender = "s@example.org";
    m.recipient = "r@example.org";
    m.replyTo = "<u@example.org>\r\nBcc: x@y";
    m.subject = "Sub\nject";
    m.body = ".dot\nline";
    m.attachmentName = "a\"b.dmp";
    m.attachment = {1, 2, 3};
    m.date = 86400 * 365;
    const std::string text = composeReportMessage(m);
    EXPECT_EQ(0u, text.find("From: <s@example.org>\nTo: <r@example.org>\nDate: "));
    EXPECT_NE(std::string::npos, text.find("\nSubject: Sub ject\n"));
    EXPECT_NE(std::string::npos, text.find("\nReply-To: <u@example.orgBcc:x@y>\n"));
    EXPECT_EQ(std::string::npos, text.find("\nBcc"));
    // Headers end in a blank line before the preamble.
    EXPECT_NE(std::string::npos, text.find("\"\n\nThis is a multi-part message in MIME format.\n"));
    EXPECT_NE(std::string::npos, text.find("filename=\"a_b.dmp\""));
    EXPECT_EQ('\n', text.back());

    const std::string wire = smtpDataBlock(text);
    EXPECT_NE(std::string::npos, wire.find("\r\n..dot\r\nline\r\n"));
    EXPECT_EQ(std::string::npos, wire.find("\n\n"));  // every line feed has its carriage return
    EXPECT_EQ("\r\n.\r\n", wire.substr(wire.size() - 5));
    EXPECT_EQ("a\r\n.\r\n", smtpDataBlock("a"));
    EXPECT_EQ("..\r\n.\r\n", smtpDataBlock(".\n"));
}

TEST(ReportMessage, TypedTextNeverBreaksTheMessage) {
    const std::string boundary = kMimeBoundary;
    ReportMail m;
    m.recipient = "r@example.org";
    m.attachment = {1};
    m.attachmentName = "r.dmp";
    // The separator typed into the description, and its first variant too.
    m.body = "a\n--" + boundary + "\nb --" + boundary + "-2--";
    std::string text = composeReportMessage(m);
    EXPECT_NE(std::string::npos, text.find("boundary=\"" + boundary + "-3\""));
    EXPECT_NE(std::string::npos, text.find("\n--" + boundary + "-3--\n"));
    EXPECT_NE(std::string::npos, text.find(m.body + "\n"));
    // Without it, the usual one.
    m.body = "fine";
    EXPECT_NE(std::string::npos, composeReportMessage(m).find("boundary=\"" + boundary + "\"\n"));

    // An address of 254 characters is a header; a longer one ends the text.
    m.replyTo = std::string(242, 'a') + "@example.org";
    EXPECT_NE(std::string::npos, composeReportMessage(m).find("\nReply-To: <" + m.replyTo + ">\n"));
    m.replyTo = std::string(3000, 'a') + "@example.org";
    text = composeReportMessage(m);
    EXPECT_EQ(std::string::npos, text.find("Reply-To"));
    // The text part (Base64 now, for its long line) starts "fine\n\n" ("ZmluZQoK").
    EXPECT_NE(std::string::npos, text.find(base64Lines(std::vector<uint8_t>(
                                     {'f', 'i', 'n', 'e', '\n', '\n', 'E', 'm'})).substr(0, 8)));
    size_t longest = 0;
    for (size_t at = 0, next; at < text.size(); at = next + 1) {
        next = text.find('\n', at);
        if (next == std::string::npos) next = text.size();
        longest = std::max(longest, next - at);
    }
    EXPECT_LE(longest, 998u);
}

TEST(ReportMessage, DateIsRfc5322) {
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    EXPECT_EQ("Thu, 1 Jan 1970 00:00:00 +0000", mailDate(0));
    EXPECT_EQ("Thu, 10 Dec 2026 13:07:34 +0000", mailDate(1796908054));
    ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    ::tzset();
    EXPECT_EQ("Thu, 10 Dec 2026 14:07:34 +0100", mailDate(1796908054));
    ::setenv("TZ", "EST5", 1);
    ::tzset();
    EXPECT_EQ("Wed, 31 Dec 1969 19:00:00 -0500", mailDate(0));
    ::unsetenv("TZ");
    ::tzset();
}

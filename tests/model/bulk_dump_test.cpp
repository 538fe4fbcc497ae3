#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <set>

#include "model/BulkDump.h"
#include "model/DeviceOS.h"
#include "model/TaNGRAQVTemplate.h"
#include "model/TemplateFile.h"

namespace fs = std::filesystem;

namespace {
using Dump = CBulkDump<CTaNGRAQVTemplate, 40>;

class BulkFiles : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("tqv-bulk-test-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override {
        fs::permissions(dir, fs::perms::owner_all, fs::perm_options::add);
        fs::remove_all(dir);
    }
    std::string path(const std::string& name) const { return (dir / name).string(); }
    static std::vector<uint8_t> slurp(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    static void put(const std::string& p, const std::vector<uint8_t>& content) {
        std::ofstream(p, std::ios::binary)
            .write(reinterpret_cast<const char*>(content.data()), static_cast<std::streamsize>(content.size()));
    }
    fs::path dir;
};

// A template named after its number, as a unit might send it: location and
// bulk flag as the unit wrote them (here deliberately not matching the order).
CTaNGRAQVTemplate named(int n, int location = 0) {
    CTaNGRAQVTemplate t;
    t.setTemplateName("Tpl " + std::to_string(n));
    t.setManufacturerName("Maker");
    t.setLocation(location);
    return t;
}

std::vector<std::string> names(const IBulkDump& d) {
    std::vector<std::string> out;
    for (int i = 0; i < d.GetCount(); ++i) out.push_back(d.GetEntry(i).displayName());
    return out;
}

void fill(IBulkDump& d) {
    for (int i = 0; i < d.GetCount(); ++i) d.SetEntry(named(i + 1, 39 - i), i);
    d.SetHasContents(true);
}
}  // namespace

TEST(BulkDump, StartsEmptyAndEveryEntryCarriesItsLocationAndBulkFlag) {
    Dump d;
    EXPECT_EQ(d.GetCount(), 40);
    EXPECT_FALSE(d.HasContents());
    EXPECT_FALSE(d.IsModified());
    for (int i = 0; i < 40; ++i) {
        const ByteSequence bytes = d.GetEntry(i).save();
        ASSERT_EQ(bytes.size(), 4112u);
        EXPECT_EQ(bytes[7], 1) << i;
        EXPECT_EQ(bytes[12], i) << i;
    }
}

TEST(BulkDump, SetSwapAndClearKeepEachEntryAtItsOwnLocation) {
    Dump d;
    d.SetEntry(named(7, 25), 3);
    EXPECT_TRUE(d.IsModified());
    EXPECT_EQ(d.GetEntry(3).displayName(), "Maker - Tpl 7");
    EXPECT_EQ(d.GetEntry(3).save()[12], 3);

    d.SetEntry(named(8), 4);
    d.SetModified(false);
    d.SwapEntries(3, 4);
    EXPECT_TRUE(d.IsModified());
    EXPECT_EQ(d.GetEntry(3).displayName(), "Maker - Tpl 8");
    EXPECT_EQ(d.GetEntry(4).displayName(), "Maker - Tpl 7");
    EXPECT_EQ(d.GetEntry(3).save()[12], 3);
    EXPECT_EQ(d.GetEntry(4).save()[12], 4);
    EXPECT_EQ(d.GetEntry(4).save()[7], 1);

    d.ClearEntry(4);
    EXPECT_EQ(d.GetEntry(4).displayName(), Dump().GetEntry(4).displayName());
    EXPECT_EQ(d.GetEntry(4).save(), Dump().GetEntry(4).save());
}

TEST(BulkDump, ClearingForgetsBitsPreservedFromTheOldContents) {
    // An entry read from a dump with bits the editor does not model must not
    // carry them into the empty template that replaces it.
    CTaNGRAQVTemplate src = named(1);
    ByteSequence bytes = src.save();
    bytes[200] = static_cast<uint8_t>(bytes[200] ^ 0x01);
    Dump d;
    const std::string p = (fs::temp_directory_path() / ("tqv-bulk-pres-" + std::to_string(::getpid()))).string();
    ASSERT_TRUE(writeBytesToFile(p, bytes, false));
    size_t offset = 0;
    ASSERT_TRUE(d.ReadEntry(5, p, offset));
    fs::remove(p);
    ASSERT_EQ(d.GetEntry(5).save()[200], bytes[200]);
    d.ClearEntry(5);
    EXPECT_EQ(d.GetEntry(5).save(), Dump().GetEntry(5).save());
}

TEST_F(BulkFiles, SavedFileHoldsFortyDumpsAndReopensToTheSameEntries) {
    Dump d;
    fill(d);
    std::string error;
    ASSERT_TRUE(d.SaveToFile(path("set.blk"), error)) << error;
    EXPECT_FALSE(d.IsModified());
    const auto content = slurp(path("set.blk"));
    ASSERT_EQ(content.size(), 40u * 4112u);
    for (size_t i = 0; i < 40; ++i) {
        EXPECT_EQ(content[i * 4112], 0xF0);
        EXPECT_EQ(content[i * 4112 + 4111], 0xF7);
        EXPECT_EQ(content[i * 4112 + 12], i);
    }

    Dump reopened;
    ASSERT_TRUE(reopened.LoadFromFile(path("set.blk"), error)) << error;
    EXPECT_TRUE(reopened.HasContents());
    EXPECT_FALSE(reopened.IsModified());
    EXPECT_EQ(names(reopened), names(d));
    EXPECT_EQ(reopened.FileBytes(), d.FileBytes());
}

TEST_F(BulkFiles, ShortOrBrokenFilesFailAndChangeNothing) {
    Dump full;
    fill(full);
    const auto bytes = full.FileBytes().vector();
    struct Case {
        const char* what;
        std::vector<uint8_t> content;
    };
    std::vector<uint8_t> corrupt = bytes;
    corrupt[20 * 4112 + 3] = 0x7F;  // entry 21 is no template of this device
    const Case cases[] = {
        {"39 templates", {bytes.begin(), bytes.end() - 4112}},
        {"last template cut short", {bytes.begin(), bytes.end() - 1}},
        {"a foreign message in the middle", corrupt},
        {"empty file", {}},
    };
    for (const Case& c : cases) {
        put(path("bad.blk"), c.content);
        Dump d;
        d.SetEntry(named(99), 0);
        d.SetHasContents(true);
        const ByteSequence before = d.FileBytes();
        std::string error;
        EXPECT_FALSE(d.LoadFromFile(path("bad.blk"), error)) << c.what;
        EXPECT_FALSE(error.empty()) << c.what;
        EXPECT_EQ(d.FileBytes(), before) << c.what;
        EXPECT_EQ(d.GetEntry(0).displayName(), "Maker - Tpl 99") << c.what;
        EXPECT_TRUE(d.HasContents()) << c.what;
        EXPECT_TRUE(d.IsModified()) << c.what;
    }
    std::string error;
    Dump d;
    EXPECT_FALSE(d.LoadFromFile(path("missing.blk"), error));
    EXPECT_FALSE(d.LoadFromFile(dir.string(), error));
}

TEST_F(BulkFiles, SaveThatFailsHalfWayKeepsThePreviousFile) {
    Dump d;
    fill(d);
    std::string error;
    ASSERT_TRUE(d.SaveToFile(path("set.blk"), error));
    const auto before = slurp(path("set.blk"));
    d.SetEntry(named(77), 0);
    // Let the file system refuse everything after the first 100000 bytes
    // (also for root), so the write breaks off in the middle of the dump.
    struct rlimit old {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &old), 0);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 100000;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = d.SaveToFile(path("set.blk"), error);
    ::setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, previous);
    EXPECT_FALSE(saved);
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(d.IsModified());
    EXPECT_EQ(slurp(path("set.blk")), before);
    for (const auto& e : fs::directory_iterator(dir)) EXPECT_EQ(e.path().filename(), "set.blk");
}

TEST_F(BulkFiles, ExtractAllWritesOneBasedNamesAsSingleTemplates) {
    Dump d;
    fill(d);
    d.SetEntry(named(3), 2);
    d.GetEntry(2).setTemplateName("../../up/and\\away");
    std::vector<std::string> written;
    const auto failures = extractAllEntries(d, dir.string(), &written);
    EXPECT_TRUE(failures.empty());
    ASSERT_EQ(written.size(), 40u);
    EXPECT_EQ(fs::path(written[0]).filename(), "01 - Maker - Tpl 1.syx");
    EXPECT_EQ(fs::path(written[39]).filename(), "40 - Maker - Tpl 40.syx");
    for (const auto& w : written) EXPECT_EQ(fs::path(w).parent_path(), dir) << w;
    std::set<std::string> onDisk;
    for (const auto& e : fs::directory_iterator(dir)) onDisk.insert(e.path().filename().string());
    EXPECT_EQ(onDisk.size(), 40u);
    const auto single = slurp(written[5]);
    ASSERT_EQ(single.size(), 4112u);
    EXPECT_EQ(single[7], 0);   // a single template
    EXPECT_EQ(single[12], 5);  // still its own location
    EXPECT_EQ(d.GetEntry(5).save()[7], 1);  // the entry itself stays a bulk entry
}

TEST(BulkDump, ExtractNamesNeverLeaveTheFolder) {
    struct Case {
        int index;
        const char* templateName;
        bool fromFile;
        const char* path;
        const char* expected;
    };
    const Case cases[] = {
        {0, "Piano", false, "", "01 - Maker - Piano.syx"},
        {9, "Piano  ", false, "", "10 - Maker - Piano.syx"},
        {39, "a/b", false, "", "40 - Maker - a_b.syx"},
        {1, "x", true, "/some/where/Lead.syx", "02 - Lead.syx"},
        {2, "x", true, "Bass", "03 - Bass.syx"},
    };
    for (const Case& c : cases) {
        CTaNGRAQVTemplate t = named(0);
        t.setTemplateName(c.templateName);
        t.fromFile = c.fromFile;
        t.filePath = c.path;
        const std::string name = extractFileName(c.index, t);
        EXPECT_EQ(name, c.expected);
        EXPECT_EQ(name.find('/'), std::string::npos);
        EXPECT_EQ(name.find('\\'), std::string::npos);
    }
    EXPECT_EQ(joinPath("dir", "01 - a.syx"), (fs::path("dir") / "01 - a.syx").string());
}

TEST(BulkDump, SaveChooserNames) {
    EXPECT_EQ(bulkFileNameFor("set"), "set.blk");
    EXPECT_EQ(bulkFileNameFor("set.blk  "), "set.blk");
    EXPECT_EQ(bulkFileNameFor("my.blk.old"), "my.blk.old");
}

TEST_F(BulkFiles, ReplacingAnEntryFromATemplateFile) {
    Dump d;
    CTaNGRAQVTemplate t = named(5, 17);
    t.setBulkFlag(false);
    ASSERT_TRUE(writeBytesToFile(path("t.syx"), t.save(), false));
    put(path("junk.syx"), {0xF0, 0x00, 0x20, 0x29, 0x01, 0xF7});
    EXPECT_EQ(replaceEntryFromFile(d, 8, path("t.syx")), ReplaceResult::Ok);
    EXPECT_EQ(d.GetEntry(8).displayName(), "Maker - Tpl 5");
    EXPECT_EQ(d.GetEntry(8).save()[12], 8);
    EXPECT_EQ(d.GetEntry(8).save()[7], 1);
    EXPECT_EQ(replaceEntryFromFile(d, 9, path("junk.syx")), ReplaceResult::NotATemplate);
    EXPECT_EQ(replaceEntryFromFile(d, 9, path("none.syx")), ReplaceResult::Unreadable);
    EXPECT_EQ(d.GetEntry(9).save(), Dump().GetEntry(9).save());
}

// ---- OS images ----

namespace {
std::vector<uint8_t> osMessage(uint8_t marker, size_t size = 20, uint8_t b9 = 0x0A, uint8_t b10 = 5) {
    std::vector<uint8_t> m(size, 0x01);
    m.front() = 0xF0;
    m.back() = 0xF7;
    if (size > 7) m[7] = marker;
    if (size > 10) {
        m[9] = b9;
        m[10] = b10;
    }
    return m;
}
std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}
}  // namespace

TEST_F(BulkFiles, OsImageMarkersAndSizes) {
    struct Case {
        const char* what;
        std::vector<uint8_t> content;
        bool valid;
    };
    const Case cases[] = {
        {"first and last", concat({osMessage(0x7F), osMessage(0x7D)}), true},
        {"with middles", concat({osMessage(0x7F), osMessage(0x7E), osMessage(0x7E), osMessage(0x7D)}), true},
        {"two last markers", concat({osMessage(0x7F), osMessage(0x7D), osMessage(0x7D)}), false},
        {"single message", osMessage(0x7F), false},
        {"no first marker", concat({osMessage(0x7E), osMessage(0x7D)}), false},
        {"no last marker", concat({osMessage(0x7F), osMessage(0x7E)}), false},
        {"short message", concat({osMessage(0x7F), osMessage(0x7D, 10)}), false},
        {"short first message", concat({osMessage(0x7F, 9), osMessage(0x7D)}), false},
        {"no messages", {0x01, 0x02}, false},
        // Sent to the unit as they are: a status byte among the manufacturer bytes would end the message there.
        {"status byte in a header", concat({osMessage(0x7F), [] {
                                                auto m = osMessage(0x7E);
                                                m[2] = 0x90;
                                                return m;
                                            }(),
                                            osMessage(0x7D)}),
         false},
    };
    for (const Case& c : cases) {
        put(path("os.syx"), c.content);
        CDeviceOS os;
        EXPECT_EQ(os.LoadFromFile(path("os.syx")), c.valid) << c.what;
        EXPECT_EQ(os.IsValid(), c.valid) << c.what;
        EXPECT_EQ(os.LastProblem().empty(), c.valid) << c.what << ": " << os.LastProblem();
    }
}

TEST_F(BulkFiles, OsImageVersionAndARefusedFileKeepsThePreviousImage) {
    put(path("good.syx"), concat({osMessage(0x7F), osMessage(0x7E), osMessage(0x7D)}));
    put(path("bad.syx"), concat({osMessage(0x7F, 20, 0x11, 2), osMessage(0x7D), osMessage(0x7D)}));
    CDeviceOS os;
    EXPECT_FALSE(os.IsValid());
    ASSERT_TRUE(os.LoadFromFile(path("good.syx")));
    EXPECT_EQ(versionText(os.GetVersion()), "1.2.05");
    EXPECT_FALSE(os.LoadFromFile(path("bad.syx")));
    EXPECT_TRUE(os.IsValid());
    EXPECT_EQ(os.messages.size(), 3u);
    EXPECT_EQ(versionText(os.GetVersion()), "1.2.05");
    EXPECT_FALSE(os.LoadFromFile(path("missing.syx")));
    EXPECT_EQ(os.messages.size(), 3u);
}

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <climits>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "library/ContentHash.h"
#include "library/LibraryPath.h"
#include "library/TemplateLibrary.h"
#include "model/TemplateFactory.h"
#include "model/DeviceKind.h"
#include "model/ModelHooks.h"
#include "model/TaNGRAQVTemplate.h"

// The library reads its dumps into the device's own templates.
const CTaNGRAQVTemplateFactory templateFactory;

namespace fs = std::filesystem;

namespace {

struct ControlName {
    int index;
    std::string name;
};

// A template dump of this unit with the given names.
ByteSequence makeDump(const std::string& name, const std::string& maker, const std::vector<ControlName>& controls = {},
                      int location = 0, bool bulk = false) {
    CTaNGRAQVTemplate t;
    t.setTemplateName(name);
    t.setManufacturerName(maker);
    for (const auto& c : controls) {
        t.controls[static_cast<size_t>(c.index)].controlType = ControlType::CC;
        t.controls[static_cast<size_t>(c.index)].name = c.name;
    }
    t.setLocation(location);
    t.setBulkFlag(bulk);
    return t.save();
}

// A TaNGRA JX dump (1305 bytes) whose first control is a CC named "Filter Cutoff".
ByteSequence makeJxDump(const std::string& name) {
    std::vector<uint8_t> d(1305, 0);
    const uint8_t header[] = {0xF0, 0x00, 0x20, 0x29, 0x02, 0x04};
    std::copy(std::begin(header), std::end(header), d.begin());
    d.back() = 0xF7;
    auto text = [&](size_t at, const std::string& s, size_t n) {
        for (size_t i = 0; i < n; ++i) d[at + i] = static_cast<uint8_t>(i < s.size() ? s[i] : ' ');
    };
    text(6, name, 16);
    for (size_t k = 0; k < 49; ++k) text(30 + k * 26 + 10, "", 16);
    const uint8_t cc[] = {1, 0, 74, 0, 0, 0, 127, 0, 0, 0};
    std::copy(std::begin(cc), std::end(cc), d.begin() + 30);
    text(40, "Filter Cutoff", 16);
    return ByteSequence(d);
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Runs SQL on a library file from outside, as another program (or a damaged disk) would.
void rawSql(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

int64_t rawCount(const std::string& path, const std::string& sql) {
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt* s = nullptr;
    int64_t n = -1;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &s, nullptr) == SQLITE_OK && sqlite3_step(s) == SQLITE_ROW)
        n = sqlite3_column_int64(s, 0);
    sqlite3_finalize(s);
    sqlite3_close(db);
    return n;
}

class LibraryTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() / ("tqv-library-" + std::to_string(::getpid()) + "-" +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        path = (dir / "library.sqlite3").string();
    }
    void TearDown() override { fs::remove_all(dir); }

    std::vector<std::string> names(const LibraryQuery& q) {
        std::vector<std::string> out;
        for (const auto& e : lib.list(q)) out.push_back(e.name);
        return out;
    }

    fs::path dir;
    std::string path;
    CTemplateLibrary lib{templateFactory};
};

TEST_F(LibraryTest, OneEntryPerContentWhateverLocationAndBulkFlag) {
    ASSERT_TRUE(lib.open(path)) << lib.lastError();
    EXPECT_TRUE(lib.notice().empty());
    const AddResult first = lib.addDump(makeDump("Lead", "Moog", {}, 3, false), {LibraryEventKind::Opened, "/a.syx"});
    ASSERT_TRUE(first.ok) << lib.lastError();
    EXPECT_TRUE(first.isNew);
    // The same template as entry 17 of a bulk dump is the same content.
    const AddResult again =
        lib.addDump(makeDump("Lead", "Moog", {}, 17, true), {LibraryEventKind::BulkReceived, "", 17});
    ASSERT_TRUE(again.ok);
    EXPECT_FALSE(again.isNew);
    EXPECT_EQ(again.id, first.id);
    const AddResult other = lib.addDump(makeDump("Lead", "Moog", {{0, "Cutoff"}}), {LibraryEventKind::Saved, "/a.syx"});
    ASSERT_TRUE(other.ok);
    EXPECT_TRUE(other.isNew);
    EXPECT_EQ(lib.count(), 2);

    const auto d = lib.entry(first.id);
    ASSERT_TRUE(d);
    ASSERT_EQ(d->events.size(), 2u);
    EXPECT_EQ(d->events[0].kind, LibraryEventKind::Opened);
    EXPECT_EQ(d->events[0].path, "/a.syx");
    EXPECT_EQ(d->events[0].location, -1);
    EXPECT_EQ(d->events[1].kind, LibraryEventKind::BulkReceived);
    EXPECT_EQ(d->events[1].location, 17);
    EXPECT_EQ(d->lastEvent.kind, LibraryEventKind::BulkReceived);
    // Stored as a single template (bulk flag cleared), as first seen.
    ASSERT_EQ(d->dump.size(), 4112u);
    EXPECT_EQ(d->dump[7], 0);
    EXPECT_EQ(d->dump[12], 3);
    EXPECT_EQ(d->hash, hashToHex(templateContentHash(makeDump("Lead", "Moog", {}, 0, false))));
    EXPECT_TRUE(lib.check().ok);
}

TEST_F(LibraryTest, InputThatIsNoTemplateChangesNothing) {
    ASSERT_TRUE(lib.open(path));
    ASSERT_TRUE(lib.addDump(makeDump("Keep", "Me"), {}).ok);
    ByteSequence broken = makeDump("Broken", "X");
    broken[2] = 0x21;  // another maker's SysEx
    const std::vector<ByteSequence> bad = {broken, ByteSequence({0xF0, 0xF7}), ByteSequence()};
    for (const auto& b : bad) {
        const AddResult r = lib.addDump(b, {});
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(lib.lastError(), "not a valid template");
        EXPECT_FALSE(lib.storageFailed());
    }
    // A bulk dump with one bad entry puts none of them in.
    std::vector<ByteSequence> entries(40, makeDump("Entry", "Bulk"));
    entries[39] = broken;
    EXPECT_FALSE(lib.addBulk(entries, {LibraryEventKind::BulkOpened, "/b.blk"}, true));
    EXPECT_EQ(lib.lastError(), "entry 40 is not a valid template");
    EXPECT_EQ(lib.count(), 1);
    EXPECT_TRUE(lib.snapshots().empty());
}

TEST_F(LibraryTest, SiblingDumpIsStoredConvertedWithItsOrigin) {
    ASSERT_TRUE(lib.open(path));
    const ByteSequence jx = makeJxDump("Little One");
    const AddResult r = lib.addDump(jx, {LibraryEventKind::Opened, "/jx.syx"});
    ASSERT_TRUE(r.ok) << lib.lastError();
    EXPECT_TRUE(r.converted);
    EXPECT_EQ(r.originKind, KindTaNGRAJX);
    const auto d = lib.entry(r.id);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->originKind, KindTaNGRAJX);
    EXPECT_EQ(d->originDump, jx);
    EXPECT_EQ(d->name, "Little One");
    // The stored dump is this unit's template; opening the entry opens the
    // sibling's own dump, as opening the file would.
    ASSERT_EQ(d->dump.size(), 4112u);
    EXPECT_EQ(detectDeviceKind(d->dump), KindTaNGRAQV);
    EXPECT_EQ(lib.bytesToOpen(r.id), jx);
    // The sibling's long control name is searchable.
    EXPECT_EQ(names({.search = "filter cut"}), std::vector<std::string>{"Little One"});
}

TEST_F(LibraryTest, SearchMatchesWordBeginningsInNamesAndControls) {
    ASSERT_TRUE(lib.open(path));
    ASSERT_TRUE(lib.addDump(makeDump("Bass Station", "Novation", {{0, "Cutoff"}, {1, "Reso"}}), {}).ok);
    ASSERT_TRUE(lib.addDump(makeDump("Live Set", "Ableton", {{0, "Volume"}}), {}).ok);
    ASSERT_TRUE(lib.addDump(makeDump("Pads", "Kelmor", {{5, "FltCut"}}), {}).ok);
    struct Case {
        std::string search;
        std::set<std::string> expected;
    };
    const Case cases[] = {
        {"bass", {"Bass Station"}},            // template name, any case
        {"NOVA", {"Bass Station"}},            // manufacturer
        {"cut", {"Bass Station"}},             // control name, from its start
        {"flt", {"Pads"}},                     //
        {"station cut", {"Bass Station"}},     // every word must match
        {"station vol", {}},                   //
        {"s", {"Bass Station", "Live Set"}},   // one letter
        {"  ", {"Bass Station", "Live Set", "Pads"}},
        {"\"unbalanced", {}},                  // the user's quotes never break the query
        {"a*b OR NOT c)", {}},
        {"-", {}},                             // nothing but separators
        {"NEAR(", {}},
        {"ation", {}},                         // not inside a word
    };
    for (const auto& c : cases) {
        const auto found = names({.search = c.search});
        EXPECT_EQ(std::set<std::string>(found.begin(), found.end()), c.expected) << "search \"" << c.search << "\"";
        EXPECT_TRUE(lib.lastError().empty()) << lib.lastError();
    }
}

TEST_F(LibraryTest, TagsAreAddedRemovedAndFilterTheList) {
    ASSERT_TRUE(lib.open(path));
    const int64_t a = lib.addDump(makeDump("A", "M"), {}).id;
    const int64_t b = lib.addDump(makeDump("B", "M"), {}).id;
    ASSERT_TRUE(lib.addTags(a, {"Live", " bass ", "", "live"}));
    ASSERT_TRUE(lib.addTags(b, {"studio"}));
    EXPECT_EQ(lib.entry(a)->tags, (std::vector<std::string>{"bass", "Live"}));
    EXPECT_EQ(names({.search = "", .tag = "LIVE"}), std::vector<std::string>{"A"});
    EXPECT_EQ(names({.search = "", .tag = "studio"}), std::vector<std::string>{"B"});
    EXPECT_EQ(names({.search = "b", .tag = "studio"}), std::vector<std::string>{"B"});
    EXPECT_EQ(lib.allTags(), (std::vector<std::string>{"bass", "Live", "studio"}));
    ASSERT_TRUE(lib.removeTags(a, {"LIVE"}));
    EXPECT_EQ(lib.entry(a)->tags, std::vector<std::string>{"bass"});
    EXPECT_FALSE(lib.addTags(999, {"x"}));
    EXPECT_EQ(lib.lastError(), "no entry 999 in the library");
}

TEST_F(LibraryTest, VersionsOfAFileAndOfALocation) {
    ASSERT_TRUE(lib.open(path));
    const ByteSequence v1 = makeDump("Song", "Me", {{0, "One"}});
    const ByteSequence v2 = makeDump("Song", "Me", {{0, "Two"}});
    const int64_t id1 = lib.addDump(v1, {LibraryEventKind::Opened, "/song.syx", -1, 1000}).id;
    lib.addDump(v1, {LibraryEventKind::Saved, "/song.syx", -1, 2000});  // saved unchanged: no new version
    const int64_t id2 = lib.addDump(v2, {LibraryEventKind::Saved, "/song.syx", -1, 3000}).id;
    lib.addDump(v1, {LibraryEventKind::Saved, "/song.syx", -1, 4000});  // back to the first
    lib.addDump(v2, {LibraryEventKind::Sent, "", 4, 5000});
    lib.addDump(v2, {LibraryEventKind::Received, "", 4, 6000});
    lib.addDump(v1, {LibraryEventKind::Received, "", 5, 7000});
    const auto file = lib.versionsOfFile("/song.syx");
    ASSERT_EQ(file.size(), 3u);
    EXPECT_EQ(file[0].templateId, id1);
    EXPECT_EQ(file[1].templateId, id2);
    EXPECT_EQ(file[1].at, 3000);
    EXPECT_EQ(file[2].templateId, id1);
    const auto four = lib.versionsAtLocation(4);
    ASSERT_EQ(four.size(), 1u);
    EXPECT_EQ(four[0].templateId, id2);
    EXPECT_EQ(four[0].kind, LibraryEventKind::Sent);
    // The list is newest first, with the newest event.
    const auto rows = lib.list();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].id, id1);
    EXPECT_EQ(rows[0].lastUsed, 7000);
    EXPECT_EQ(rows[0].lastEvent.location, 5);
    EXPECT_EQ(libraryEventText(rows[0].lastEvent), "received from the unit, location 6");
    // An event from the past does not move an entry up.
    ASSERT_TRUE(lib.recordEvent(id2, {LibraryEventKind::Exported, "/old.syx", -1, 10}));
    EXPECT_EQ(lib.list()[1].lastUsed, 6000);
}

TEST_F(LibraryTest, BackupOfTheUnitRestoresAsABulkDump) {
    ASSERT_TRUE(lib.open(path));
    std::vector<ByteSequence> entries;
    for (int i = 0; i < 40; ++i) entries.push_back(makeDump(i % 4 ? "Empty" : "Slot " + std::to_string(i), "Unit", {}, i, true));
    std::vector<AddResult> added;
    int64_t snap = 0;
    ASSERT_TRUE(lib.addBulk(entries, {.kind = LibraryEventKind::BulkReceived}, true, &added, &snap)) << lib.lastError();
    ASSERT_EQ(added.size(), 40u);
    EXPECT_EQ(lib.count(), 11);  // ten named ones and one "Empty", stored once
    const auto snaps = lib.snapshots();
    ASSERT_EQ(snaps.size(), 1u);
    EXPECT_EQ(snaps[0].id, snap);
    EXPECT_EQ(snaps[0].source, "unit");
    ASSERT_EQ(snaps[0].entries.size(), 40u);

    // Deleting an entry keeps it for the backup; the list no longer shows it.
    const int64_t slot4 = added[4].id;
    ASSERT_TRUE(lib.remove(slot4));
    EXPECT_EQ(lib.count(), 10);
    EXPECT_FALSE(lib.entry(slot4));
    EXPECT_EQ(names({.search = "slot 4"}), std::vector<std::string>{});
    EXPECT_TRUE(lib.check().ok) << lib.check().problems.front();

    std::vector<ByteSequence> restored;
    ASSERT_TRUE(lib.snapshotDumps(snap, restored)) << lib.lastError();
    ASSERT_EQ(restored.size(), 40u);
    for (int i = 0; i < 40; ++i) {
        // The same bytes as received, except where the unit keeps each one.
        ByteSequence expected = entries[static_cast<size_t>(i)];
        EXPECT_EQ(restored[static_cast<size_t>(i)], expected) << "location " << i;
        EXPECT_EQ(restored[static_cast<size_t>(i)][12], i);
        EXPECT_EQ(restored[static_cast<size_t>(i)][7], 1);
    }
    // Adding the deleted template again lists it again.
    ASSERT_TRUE(lib.addDump(entries[4], {}).ok);
    EXPECT_EQ(lib.count(), 11);
    EXPECT_EQ(names({.search = "slot 4"}), std::vector<std::string>{"Slot 4"});
    ASSERT_TRUE(lib.remove(slot4));

    // Removing the backup takes the templates only it kept.
    ASSERT_TRUE(lib.removeSnapshot(snap));
    EXPECT_EQ(rawCount(path, "SELECT count(*) FROM templates"), 10);
    EXPECT_FALSE(lib.snapshotDumps(snap, restored));
    EXPECT_TRUE(lib.check().ok);
    EXPECT_FALSE(lib.addBulk(std::vector<ByteSequence>(39, entries[0]), {}, true));
}

TEST_F(LibraryTest, DeleteRemovesTheEntryButNoFile) {
    ASSERT_TRUE(lib.open(path));
    const std::string file = (dir / "keep.syx").string();
    writeFile(file, "not touched");
    const int64_t id = lib.addDump(makeDump("Gone", "Soon"), {LibraryEventKind::Opened, file}).id;
    ASSERT_TRUE(lib.addTags(id, {"x"}));
    ASSERT_TRUE(lib.remove(id));
    EXPECT_EQ(lib.count(), 0);
    EXPECT_EQ(rawCount(path, "SELECT count(*) FROM events") + rawCount(path, "SELECT count(*) FROM tags") +
                  rawCount(path, "SELECT count(*) FROM template_text"),
              0);
    EXPECT_EQ(readFile(file), "not touched");
    EXPECT_FALSE(lib.remove(id));
    EXPECT_TRUE(lib.versionsOfFile(file).empty());
}

TEST_F(LibraryTest, FolderAndPathFollowXdgDataHome) {
    const char* saved = std::getenv("XDG_DATA_HOME");
    const std::string savedValue = saved ? saved : "";
    setenv("XDG_DATA_HOME", dir.c_str(), 1);
    EXPECT_EQ(defaultLibraryPath(), (dir / "tangra-qv-editor" / "library.sqlite3").string());
    EXPECT_EQ(chooseLibraryPath("", ""), defaultLibraryPath());
    EXPECT_EQ(chooseLibraryPath("", "/set.db"), "/set.db");
    EXPECT_EQ(chooseLibraryPath("/given.db", "/set.db"), "/given.db");
    setenv("XDG_DATA_HOME", "relative/ignored", 1);
    EXPECT_EQ(defaultLibraryPath(), std::string(std::getenv("HOME")) + "/.local/share/tangra-qv-editor/library.sqlite3");
    if (saved) setenv("XDG_DATA_HOME", savedValue.c_str(), 1);
    else unsetenv("XDG_DATA_HOME");
    // The folder is made on first use.
    const std::string nested = (dir / "a" / "b" / "library.sqlite3").string();
    ASSERT_TRUE(lib.open(nested)) << lib.lastError();
    EXPECT_TRUE(fs::exists(nested));
}

// A file that cannot be the library is moved aside with a message, never
// deleted, and a new library works in its place.
TEST_F(LibraryTest, UnusableFilesAreMovedAsideAndANewLibraryStarts) {
    struct Case {
        const char* what;
        std::function<void(const std::string&)> make;
        const char* reason;
    };
    const Case cases[] = {
        {"text file", [](const std::string& p) { writeFile(p, std::string(5000, 'x') + "\nnot a database\n"); },
         "it is not a library file"},
        {"another program's database",
         [](const std::string& p) { rawSql(p, "CREATE TABLE songs(title TEXT); INSERT INTO songs VALUES ('x');"); },
         "it is not a library file"},
        {"newer library",
         [](const std::string& p) {
             CTemplateLibrary newer{templateFactory};
             ASSERT_TRUE(newer.open(p));
             ASSERT_TRUE(newer.addDump(makeDump("From", "Future"), {}).ok);
             newer.close();
             rawSql(p, "PRAGMA user_version = 99");
         },
         "written by a newer version of the editor (library version 99"},
        {"damaged pages",
         [](const std::string& p) {
             CTemplateLibrary damaged{templateFactory};
             ASSERT_TRUE(damaged.open(p));
             for (int i = 0; i < 30; ++i) ASSERT_TRUE(damaged.addDump(makeDump("T" + std::to_string(i), "X"), {}).ok);
             damaged.close();  // the last connection checkpoints the WAL into the file
             std::string bytes = readFile(p);
             ASSERT_GT(bytes.size(), 40000u);
             // Scribble over the middle of the file, keeping its header.
             for (size_t i = 4096 * 3; i < 4096 * 6; ++i) bytes[i] = static_cast<char>(i * 7);
             writeFile(p, bytes);
         },
         "it is damaged"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir);
        fs::create_directories(dir);
        c.make(path);
        if (::testing::Test::HasFatalFailure()) return;
        const std::string before = readFile(path);
        CTemplateLibrary fresh{templateFactory};
        ASSERT_TRUE(fresh.open(path)) << fresh.lastError();
        EXPECT_NE(fresh.notice().find(c.reason), std::string::npos) << fresh.notice();
        EXPECT_NE(fresh.notice().find("new, empty library"), std::string::npos) << fresh.notice();
        ASSERT_FALSE(fresh.movedAsidePath().empty());
        EXPECT_NE(fresh.notice().find(fresh.movedAsidePath()), std::string::npos);
        EXPECT_TRUE(readFile(fresh.movedAsidePath()) == before) << "the file moved aside is not the file as it was";
        EXPECT_EQ(fresh.count(), 0);
        ASSERT_TRUE(fresh.addDump(makeDump("New", "Start"), {}).ok) << fresh.lastError();
        EXPECT_TRUE(fresh.check().ok);
        fresh.close();
        // Opened again, the new library is simply used.
        CTemplateLibrary again{templateFactory};
        ASSERT_TRUE(again.open(path));
        EXPECT_TRUE(again.notice().empty()) << again.notice();
        EXPECT_EQ(again.count(), 1);
    }
}

// The search index came with the second version of the schema; a library
// from before it gets one filled from the templates it holds.
TEST_F(LibraryTest, OlderLibraryIsMigrated) {
    {
        ASSERT_TRUE(lib.open(path));
        ASSERT_TRUE(lib.addDump(makeDump("Old One", "Past", {{0, "Vintage"}}), {}).ok);
        lib.close();
    }
    rawSql(path, "DROP TABLE template_text; PRAGMA user_version = 1;");
    CTemplateLibrary reopened{templateFactory};
    ASSERT_TRUE(reopened.open(path)) << reopened.lastError();
    EXPECT_TRUE(reopened.notice().empty());
    EXPECT_EQ(rawCount(path, "PRAGMA user_version"), CTemplateLibrary::kSchemaVersion);
    ASSERT_EQ(reopened.list({.search = "vint"}).size(), 1u);
    EXPECT_TRUE(reopened.check().ok);
}

// An SQLite VFS over the default one with a fixed amount of free space: a
// write that would grow a file beyond it fails as a full disk does.
struct LimitedDisk {
    struct File {
        sqlite3_file base;
        sqlite3_file* real;
    };
    static inline sqlite3_vfs* real = nullptr;
    static inline sqlite3_vfs vfs{};
    static inline sqlite3_io_methods methods{};
    static inline std::atomic<long long> freeBytes{LLONG_MAX};

    static sqlite3_file* in(sqlite3_file* f) { return reinterpret_cast<File*>(f)->real; }

    static int write(sqlite3_file* f, const void* data, int amount, sqlite3_int64 offset) {
        sqlite3_int64 size = 0;
        in(f)->pMethods->xFileSize(in(f), &size);
        const long long growth = std::max<long long>(0, offset + amount - size);
        if (growth > freeBytes.load()) return SQLITE_FULL;
        freeBytes -= growth;
        return in(f)->pMethods->xWrite(in(f), data, amount, offset);
    }

    static int open(sqlite3_vfs*, const char* name, sqlite3_file* file, int flags, int* outFlags) {
        File* f = reinterpret_cast<File*>(file);
        f->real = reinterpret_cast<sqlite3_file*>(f + 1);
        const int rc = real->xOpen(real, name, f->real, flags, outFlags);
        f->base.pMethods = f->real->pMethods ? &methods : nullptr;
        if (f->real->pMethods && !methods.xClose) fillMethods(f->real->pMethods->iVersion);
        return rc;
    }

    static void fillMethods(int version) {
        methods.iVersion = version;
        methods.xClose = [](sqlite3_file* f) { return in(f)->pMethods->xClose(in(f)); };
        methods.xRead = [](sqlite3_file* f, void* p, int n, sqlite3_int64 o) { return in(f)->pMethods->xRead(in(f), p, n, o); };
        methods.xWrite = write;
        methods.xTruncate = [](sqlite3_file* f, sqlite3_int64 n) { return in(f)->pMethods->xTruncate(in(f), n); };
        methods.xSync = [](sqlite3_file* f, int flags) { return in(f)->pMethods->xSync(in(f), flags); };
        methods.xFileSize = [](sqlite3_file* f, sqlite3_int64* n) { return in(f)->pMethods->xFileSize(in(f), n); };
        methods.xLock = [](sqlite3_file* f, int l) { return in(f)->pMethods->xLock(in(f), l); };
        methods.xUnlock = [](sqlite3_file* f, int l) { return in(f)->pMethods->xUnlock(in(f), l); };
        methods.xCheckReservedLock = [](sqlite3_file* f, int* r) { return in(f)->pMethods->xCheckReservedLock(in(f), r); };
        methods.xFileControl = [](sqlite3_file* f, int op, void* a) { return in(f)->pMethods->xFileControl(in(f), op, a); };
        methods.xSectorSize = [](sqlite3_file* f) { return in(f)->pMethods->xSectorSize(in(f)); };
        methods.xDeviceCharacteristics = [](sqlite3_file* f) { return in(f)->pMethods->xDeviceCharacteristics(in(f)); };
        methods.xShmMap = [](sqlite3_file* f, int i, int n, int e, void volatile** p) {
            return in(f)->pMethods->xShmMap(in(f), i, n, e, p);
        };
        methods.xShmLock = [](sqlite3_file* f, int o, int n, int fl) { return in(f)->pMethods->xShmLock(in(f), o, n, fl); };
        methods.xShmBarrier = [](sqlite3_file* f) { in(f)->pMethods->xShmBarrier(in(f)); };
        methods.xShmUnmap = [](sqlite3_file* f, int d) { return in(f)->pMethods->xShmUnmap(in(f), d); };
        methods.xFetch = [](sqlite3_file* f, sqlite3_int64 o, int n, void** p) { return in(f)->pMethods->xFetch(in(f), o, n, p); };
        methods.xUnfetch = [](sqlite3_file* f, sqlite3_int64 o, void* p) { return in(f)->pMethods->xUnfetch(in(f), o, p); };
    }

    static void install() {
        if (real) return;
        real = sqlite3_vfs_find(nullptr);
        vfs = *real;
        vfs.zName = "limited-disk";
        vfs.szOsFile = static_cast<int>(sizeof(File)) + real->szOsFile;
        vfs.xOpen = open;
        vfs.pNext = nullptr;
        sqlite3_vfs_register(&vfs, 0);
    }
};

TEST_F(LibraryTest, FullDiskFailsTheAddAndChangesNothing) {
    LimitedDisk::install();
    LimitedDisk::freeBytes = LLONG_MAX;
    ASSERT_TRUE(lib.open(path, "limited-disk")) << lib.lastError();
    ASSERT_TRUE(lib.addDump(makeDump("Before", "Full"), {LibraryEventKind::Opened, "/before.syx"}).ok);
    const auto before = lib.list();
    // Room for less than one template's pages in the write-ahead log.
    LimitedDisk::freeBytes = 3000;
    const AddResult r = lib.addDump(makeDump("Too", "Much", {{0, "Big"}}), {LibraryEventKind::Opened, "/after.syx"});
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(lib.storageFailed());
    EXPECT_NE(lib.lastError().find("Unable to add to the library: database or disk is full"), std::string::npos)
        << lib.lastError();
    std::vector<ByteSequence> bulk(40, makeDump("Bulk", "Full"));
    EXPECT_FALSE(lib.addBulk(bulk, {.kind = LibraryEventKind::BulkReceived}, true));
    EXPECT_FALSE(lib.addTags(before[0].id, {std::string(5000, 't')}));
    // Nothing changed, in this connection or another.
    EXPECT_EQ(lib.list().size(), before.size());
    EXPECT_TRUE(lib.list({.search = "too"}).empty());
    EXPECT_TRUE(lib.snapshots().empty());
    EXPECT_TRUE(lib.entry(before[0].id)->tags.empty());
    EXPECT_EQ(rawCount(path, "SELECT count(*) FROM events"), 1);
    LibraryCheck c = lib.check();
    EXPECT_TRUE(c.ok) << (c.problems.empty() ? "" : c.problems.front());
    // Space again: the same add works.
    LimitedDisk::freeBytes = LLONG_MAX;
    EXPECT_TRUE(lib.addDump(makeDump("Too", "Much", {{0, "Big"}}), {}).ok) << lib.lastError();
    EXPECT_EQ(lib.count(), 2);
}

// Runs `body` in a child process; the child's exit status is 0 when it returns true.
pid_t runChild(const std::function<bool()>& body) {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(body() ? 0 : 1);
    return pid;
}

int waitChild(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

TEST_F(LibraryTest, TwoWritersAtOnceLoseNothing) {
    ASSERT_TRUE(lib.open(path));  // created before, so both writers find the schema
    lib.close();
    auto writer = [this](const std::string& who) {
        return [this, who] {
            CTemplateLibrary mine{templateFactory};
            if (!mine.open(path)) return false;
            for (int i = 0; i < 150; ++i)
                if (!mine.addDump(makeDump(who + " " + std::to_string(i), who), {LibraryEventKind::Saved, "/" + who}).ok)
                    return false;
            // The same templates from both sides: one entry each, both events.
            for (int i = 0; i < 40; ++i)
                if (!mine.addDump(makeDump("Shared " + std::to_string(i), "Both"), {LibraryEventKind::Received, "", i}).ok)
                    return false;
            std::vector<ByteSequence> bulk;
            for (int i = 0; i < 40; ++i) bulk.push_back(makeDump(who + " bulk " + std::to_string(i), who, {}, i, true));
            return mine.addBulk(bulk, {.kind = LibraryEventKind::BulkReceived}, true);
        };
    };
    const pid_t a = runChild(writer("Editor"));
    const pid_t b = runChild(writer("Tool"));
    EXPECT_EQ(waitChild(a), 0);
    EXPECT_EQ(waitChild(b), 0);
    ASSERT_TRUE(lib.open(path));
    EXPECT_EQ(lib.count(), 2 * 150 + 40 + 2 * 40);
    EXPECT_EQ(rawCount(path, "SELECT count(*) FROM events"), 2 * (150 + 40 + 40));
    EXPECT_EQ(lib.list({.search = "shared"}).size(), 40u);
    for (const auto& e : lib.list({.search = "shared"})) EXPECT_EQ(lib.entry(e.id)->events.size(), 2u) << e.name;
    EXPECT_EQ(lib.snapshots().size(), 2u);
    EXPECT_TRUE(lib.check().ok);
}

// A writer killed at any moment leaves a library that opens without being
// moved aside, passes the integrity check, and holds every add it finished.
TEST_F(LibraryTest, KilledWriterLeavesAConsistentLibrary) {
    ASSERT_TRUE(lib.open(path));
    lib.close();
    const std::string progress = (dir / "finished").string();
    std::mt19937 random(26);
    int round = 0;
    for (; round < 6; ++round) {
        const pid_t pid = runChild([&, round] {
            CTemplateLibrary mine{templateFactory};
            if (!mine.open(path)) return false;
            for (int i = 0;; ++i) {
                const std::string name = "R" + std::to_string(round) + " " + std::to_string(i);
                if (i % 10 == 9) {
                    std::vector<ByteSequence> bulk;
                    for (int k = 0; k < 40; ++k) bulk.push_back(makeDump(name + "/" + std::to_string(k), "Bulk", {}, k, true));
                    if (!mine.addBulk(bulk, {.kind = LibraryEventKind::BulkReceived}, true)) return false;
                } else if (!mine.addDump(makeDump(name, "Kill"), {LibraryEventKind::Saved, "/k.syx"}).ok) {
                    return false;
                }
                // What is finished is noted after the library has it.
                std::ofstream(progress, std::ios::app) << name << "\n";
            }
        });
        std::this_thread::sleep_for(std::chrono::milliseconds(std::uniform_int_distribution<int>(30, 250)(random)));
        ::kill(pid, SIGKILL);
        const int status = waitChild(pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer ended by itself in round " << round;
    }
    ASSERT_TRUE(lib.open(path)) << lib.lastError();
    EXPECT_TRUE(lib.notice().empty()) << lib.notice();
    const LibraryCheck c = lib.check();
    EXPECT_TRUE(c.ok) << (c.problems.empty() ? "" : c.problems.front());
    std::ifstream in(progress);
    int finished = 0;
    for (std::string name; std::getline(in, name);) {
        ++finished;
        EXPECT_FALSE(lib.list({.search = name}).empty()) << name << " was finished but is missing";
    }
    EXPECT_GT(finished, 0);
    for (const auto& s : lib.snapshots()) EXPECT_EQ(s.entries.size(), 40u);
    // The library goes on working.
    EXPECT_TRUE(lib.addDump(makeDump("After", "Kill"), {}).ok);
}

}  // namespace

// The editor adds on a thread of its own while its window goes on: the
// library's quiet reading must not swap the hooks through which the window's
// thread reaches the user (its notices, its open edit panels).
TEST_F(LibraryTest, AddingOnAnotherThreadLeavesThisThreadsHooksAlone) {
    ASSERT_TRUE(lib.open(path));
    struct Sink : INoticeSink {
        void notice(const std::string&) override {}
    } windowSink;
    ModelHooks hooks = ModelHooks::get();
    hooks.notices = &windowSink;
    ScopedModelHooks windowHooks(hooks);
    std::atomic<bool> done{false};
    std::thread adder([&] {
        CTemplateLibrary other(templateFactory);
        if (other.open(path))
            for (int i = 0; i < 300; ++i) other.addDump(makeDump("Threaded " + std::to_string(i), "Q"), {});
        done = true;
    });
    int seenOther = 0, looks = 0;
    while (!done) {
        ++looks;
        if (ModelHooks::get().notices != &windowSink) ++seenOther;
    }
    adder.join();
    EXPECT_EQ(seenOther, 0) << "of " << looks << " looks";
    EXPECT_EQ(ModelHooks::get().notices, &windowSink);
    EXPECT_EQ(lib.count(), 300);
}

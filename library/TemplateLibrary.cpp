#include "library/TemplateLibrary.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <system_error>

#include "library/ContentHash.h"
#include "library/SqliteDatabase.h"
#include "model/DeviceKind.h"
#include "model/TemplateFactory.h"
#include "model/EditorTemplate.h"
#include "model/ModelHooks.h"
#include "model/NameTools.h"
#include "model/TemplateParts.h"

namespace fs = std::filesystem;

namespace {
// Marks the file as this program's library, so that another program's SQLite
// file named by mistake is never taken for an old library and changed.
constexpr int kApplicationId = 0x54515645;  // "TQVE"
constexpr int kBusyTimeoutMs = 10000;
constexpr size_t kBulkFlagByte = 7;

const char* const kEventNames[] = {"added",       "opened",        "saved",     "received", "sent",
                                   "bulk-opened", "bulk-received", "bulk-sent", "exported"};

// The schema, one step per version: a file at version n runs steps n+1 and on.
const char* const kSchemaV1 = R"sql(
CREATE TABLE templates (
    id INTEGER PRIMARY KEY,
    hash BLOB NOT NULL UNIQUE,
    dump BLOB NOT NULL,
    name TEXT NOT NULL,
    manufacturer TEXT NOT NULL,
    origin_kind INTEGER NOT NULL,
    origin_dump BLOB,
    first_seen INTEGER NOT NULL,
    last_used INTEGER NOT NULL,
    last_event INTEGER,
    listed INTEGER NOT NULL DEFAULT 1
);
CREATE INDEX templates_last_used ON templates(listed, last_used);
CREATE TABLE events (
    id INTEGER PRIMARY KEY,
    template_id INTEGER NOT NULL REFERENCES templates(id) ON DELETE CASCADE,
    at INTEGER NOT NULL,
    what TEXT NOT NULL,
    path TEXT,
    location INTEGER
);
CREATE INDEX events_template ON events(template_id, at);
CREATE INDEX events_path ON events(path, at) WHERE path IS NOT NULL;
CREATE INDEX events_location ON events(location, at) WHERE location IS NOT NULL;
CREATE TABLE tags (
    template_id INTEGER NOT NULL REFERENCES templates(id) ON DELETE CASCADE,
    tag TEXT NOT NULL COLLATE NOCASE,
    PRIMARY KEY (template_id, tag)
) WITHOUT ROWID;
CREATE INDEX tags_tag ON tags(tag);
CREATE TABLE snapshots (
    id INTEGER PRIMARY KEY,
    taken_at INTEGER NOT NULL,
    source TEXT NOT NULL
);
CREATE TABLE snapshot_entries (
    snapshot_id INTEGER NOT NULL REFERENCES snapshots(id) ON DELETE CASCADE,
    location INTEGER NOT NULL,
    template_id INTEGER NOT NULL REFERENCES templates(id),
    PRIMARY KEY (snapshot_id, location)
) WITHOUT ROWID;
CREATE INDEX snapshot_entries_template ON snapshot_entries(template_id);
)sql";

// The search index is kept apart from the entries: it can always be built
// again from the stored dumps.
const char* const kSchemaV2 = R"sql(
CREATE VIRTUAL TABLE template_text USING fts5(
    name, manufacturer, controls,
    tokenize = 'unicode61 remove_diacritics 2', prefix = '2 3');
)sql";

// Names as the unit shows them: up to the first NUL, without trailing blanks.
std::string cleanName(const std::string& raw) {
    std::string text = raw.substr(0, raw.find('\0'));
    return trimTrailingBlanks(text);
}

std::string joinNames(const std::vector<std::string>& names) {
    std::string text;
    for (const auto& n : names) {
        if (!text.empty()) text += ' ';
        text += n;
    }
    return text;
}

// The user's words as an FTS5 query: each one a quoted prefix, all required.
std::string searchExpression(const std::string& text) {
    std::string query;
    std::string word;
    auto flush = [&] {
        if (word.empty()) return;
        std::string quoted = "\"";
        for (char c : word) quoted += (c == '"') ? std::string("\"\"") : std::string(1, c);
        query += (query.empty() ? "" : " ") + quoted + "\"*";
        word.clear();
    };
    for (char c : text) {
        if (c == ' ' || c == '\t' || c == '\n') flush();
        else word += c;
    }
    flush();
    return query;
}

std::string timeStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d-%H%M%S", &local);
    return text;
}

bool isUnusableCode(int code) {
    const int primary = code & 0xFF;
    return primary == SQLITE_NOTADB || primary == SQLITE_CORRUPT;
}

LibraryEventRecord readEvent(const SqliteStatement& s, int first) {
    LibraryEventRecord e;
    e.id = s.int64(first);
    e.templateId = s.int64(first + 1);
    e.at = s.int64(first + 2);
    e.kind = libraryEventFromName(s.text(first + 3)).value_or(LibraryEventKind::Added);
    e.path = s.isNull(first + 4) ? std::string() : s.text(first + 4);
    e.location = s.isNull(first + 5) ? -1 : static_cast<int>(s.int64(first + 5));
    return e;
}

// Tags come joined by the unit separator, which no tag holds.
std::vector<std::string> splitTags(const std::string& text) {
    std::vector<std::string> tags;
    size_t start = 0;
    for (size_t end; (end = text.find('\x1f', start)) != std::string::npos; start = end + 1)
        tags.push_back(text.substr(start, end - start));
    tags.push_back(text.substr(start));
    return tags;
}

// Tags without surrounding blanks; control characters would break the list.
std::string cleanTag(const std::string& raw) {
    std::string text;
    for (char c : raw) text += (static_cast<unsigned char>(c) < 0x20) ? ' ' : c;
    const size_t a = text.find_first_not_of(' ');
    const size_t b = text.find_last_not_of(' ');
    return a == std::string::npos ? std::string() : text.substr(a, b - a + 1);
}
}  // namespace

const char* libraryEventName(LibraryEventKind kind) { return kEventNames[static_cast<int>(kind)]; }

std::optional<LibraryEventKind> libraryEventFromName(const std::string& name) {
    for (int i = 0; i < static_cast<int>(std::size(kEventNames)); ++i)
        if (name == kEventNames[i]) return static_cast<LibraryEventKind>(i);
    return std::nullopt;
}

int64_t libraryNow() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

std::string libraryTimeText(int64_t ms) {
    const std::time_t seconds = static_cast<std::time_t>(ms / 1000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
    return text;
}

std::string libraryEventText(const LibraryEvent& e) {
    const std::string where = e.location >= 0 ? "location " + std::to_string(e.location + 1) : std::string();
    const std::string file = e.path.empty() ? std::string("a file") : e.path;
    switch (e.kind) {
        case LibraryEventKind::Added:
            return "added from " + file + (where.empty() ? "" : ", " + where);
        case LibraryEventKind::Opened: return "opened " + file;
        case LibraryEventKind::Saved: return "saved as " + file;
        case LibraryEventKind::Received: return "received from the unit" + (where.empty() ? "" : ", " + where);
        case LibraryEventKind::Sent: return "sent to the unit" + (where.empty() ? "" : ", " + where);
        case LibraryEventKind::BulkOpened: return where + " of bulk dump " + file;
        case LibraryEventKind::BulkReceived: return where + " of a bulk dump from the unit";
        case LibraryEventKind::BulkSent: return "sent to the unit in a bulk dump, " + where;
        case LibraryEventKind::Exported: return "exported to " + file;
    }
    return {};
}

namespace {
// Names cut as the model's own tools cut them, without adding to the name
// history the windows offer.
class SilentNameTools : public INameTools {
public:
    std::string abbreviateName(const std::string& name, int maxLength) override {
        return CDefaultNameTools::instance().abbreviateName(name, maxLength);
    }
    void addName(const std::string&) override {}
};

// The library reads dumps silently and on whatever thread uses it: the
// notices of opening belong to the window that opens the template, and the
// hooks of other threads (the window's) stay as they are.
class QuietReading {
public:
    QuietReading() : thread_(hooks()) {}

private:
    ModelHooks hooks() {
        ModelHooks h;
        h.notices = &sink_;
        h.nameTools = &names_;
        return h;
    }
    CollectingNoticeSink sink_;
    SilentNameTools names_;
    ThreadModelHooks thread_;
};
}  // namespace

struct CTemplateLibrary::Prepared {
    ByteSequence dump;
    ByteSequence origin;
    int originKind = KindTaNGRAQV;
    ContentHash hash{};
    std::string name;
    std::string manufacturer;
    std::vector<std::string> controlNames;
    std::string controls;
};

CTemplateLibrary::CTemplateLibrary(const ITemplateFactory& factory) : factory_(factory) {}
CTemplateLibrary::~CTemplateLibrary() = default;

void CTemplateLibrary::clearError() {
    error_.clear();
    storageFailed_ = false;
}

bool CTemplateLibrary::isOpen() const { return db_ && db_->isOpen(); }

void CTemplateLibrary::close() { db_.reset(); }

bool CTemplateLibrary::fail(const std::string& what) {
    storageFailed_ = true;
    error_ = what + ": " + (db_ ? db_->lastError() : std::string("the library is not open"));
    return false;
}

bool CTemplateLibrary::open(const std::string& path) { return open(path, nullptr); }

bool CTemplateLibrary::open(const std::string& path, const char* vfs) {
    close();
    path_ = path;
    notice_.clear();
    movedAside_.clear();
    clearError();
    std::error_code ec;
    const fs::path folder = fs::path(path).parent_path();
    if (!folder.empty()) fs::create_directories(folder, ec);
    std::string why;
    bool unusable = false;
    if (openFile(path, vfs, why, unusable)) return true;
    if (!unusable) {
        close();
        error_ = "Unable to open the library \"" + path + "\": " + why;
        return false;
    }
    close();
    if (!moveAside(why)) return false;
    bool stillUnusable = false;
    if (openFile(path, vfs, why, stillUnusable)) return true;
    close();
    error_ = "Unable to create a new library \"" + path + "\": " + why;
    return false;
}

// Opens and checks the file; `unusable` tells a file that can never serve as
// the library (it is moved aside) from one that cannot be opened now.
bool CTemplateLibrary::openFile(const std::string& path, const char* vfs, std::string& why, bool& unusable) {
    db_ = std::make_unique<SqliteDatabase>();
    unusable = false;
    if (!db_->open(path, true, vfs)) {
        why = db_->lastError();
        unusable = isUnusableCode(db_->lastCode());
        return false;
    }
    sqlite3_busy_timeout(db_->handle(), kBusyTimeoutMs);
    auto failed = [&](const std::string& what) {
        why = what.empty() ? db_->lastError() : what;
        unusable = isUnusableCode(db_->lastCode());
        if ((db_->lastCode() & 0xFF) == SQLITE_NOTADB) why = "it is not a library file";
        else if (unusable) why = "it is damaged (" + db_->lastError() + ")";
        return false;
    };
    int version = 0, application = 0, tables = 0;
    {
        SqliteStatement s(*db_, "SELECT (SELECT user_version FROM pragma_user_version),"
                                " (SELECT application_id FROM pragma_application_id),"
                                " (SELECT count(*) FROM sqlite_schema)");
        if (!s.next()) return failed("");
        version = static_cast<int>(s.int64(0));
        application = static_cast<int>(s.int64(1));
        tables = static_cast<int>(s.int64(2));
    }
    if (application != kApplicationId && (application != 0 || version != 0 || tables != 0)) {
        unusable = true;
        why = "it is not a library file";
        return false;
    }
    if (version > kSchemaVersion) {
        unusable = true;
        why = "it was written by a newer version of the editor (library version " + std::to_string(version) +
              ", this version reads up to " + std::to_string(kSchemaVersion) + ")";
        return false;
    }
    if (version > 0) {
        // A damaged page anywhere shows here rather than halfway through a later change.
        SqliteStatement s(*db_, "PRAGMA quick_check");
        if (!s.next()) return failed("");
        const std::string result = s.text(0);
        if (result != "ok") {
            unusable = true;
            why = "it is damaged (" + result + ")";
            return false;
        }
    }
    // Only now that the file is known to be a library (or empty) may it be
    // changed. WAL: readers never wait for a writer, and the editor and the
    // tool can both write; NORMAL synchronisation keeps every committed change
    // through a crash of the program (only a power cut may lose the newest).
    if (!db_->exec("PRAGMA foreign_keys = ON; PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL;"))
        return failed("");
    if (!migrate()) return failed("");
    return true;
}

bool CTemplateLibrary::migrate() {
    const std::vector<std::function<bool()>> steps = {
        [this] {
            return db_->exec(kSchemaV1) &&
                   db_->exec(("PRAGMA application_id = " + std::to_string(kApplicationId)).c_str());
        },
        [this] { return db_->exec(kSchemaV2) && fillSearchIndex(); },
    };
    static_assert(kSchemaVersion == 2, "one migration step per schema version");
    for (;;) {
        SqliteTransaction t(*db_);
        if (!t.ok()) return false;
        // Read inside the write transaction: another program may have
        // migrated the file meanwhile.
        int version = 0;
        {
            SqliteStatement s(*db_, "PRAGMA user_version");
            if (!s.next()) return false;
            version = static_cast<int>(s.int64(0));
        }
        if (version >= kSchemaVersion) return true;
        if (!steps[static_cast<size_t>(version)]()) return false;
        if (!db_->exec(("PRAGMA user_version = " + std::to_string(version + 1)).c_str())) return false;
        if (!t.commit()) return false;
    }
}

// Fills the search index from the stored dumps (the dumps are the truth).
bool CTemplateLibrary::fillSearchIndex() {
    if (!db_->exec("DELETE FROM template_text")) return false;
    SqliteStatement rows(*db_, "SELECT id, dump FROM templates WHERE listed");
    SqliteStatement insert(*db_, "INSERT INTO template_text(rowid, name, manufacturer, controls) VALUES (?, ?, ?, ?)");
    if (!rows.ok() || !insert.ok()) return false;
    while (rows.next()) {
        Prepared p;
        if (!prepare(rows.blob(1), p)) continue;
        insert.reset();
        insert.bind(1, rows.int64(0)).bind(2, p.name).bind(3, p.manufacturer).bind(4, p.controls);
        if (!insert.run()) return false;
    }
    return !rows.failed();
}

bool CTemplateLibrary::moveAside(const std::string& why) {
    std::string aside = path_ + ".unusable-" + timeStamp();
    std::error_code ec;
    for (int n = 2; fs::exists(aside, ec); ++n) aside = path_ + ".unusable-" + timeStamp() + "-" + std::to_string(n);
    fs::rename(path_, aside, ec);
    if (ec) {
        error_ = "The library \"" + path_ + "\" cannot be used (" + why + ") and cannot be moved aside: " + ec.message();
        return false;
    }
    // The journal files belong to the file they were written for.
    for (const char* suffix : {"-wal", "-shm"}) {
        std::error_code ignored;
        if (fs::exists(path_ + suffix, ignored)) fs::rename(path_ + suffix, aside + suffix, ignored);
    }
    movedAside_ = aside;
    notice_ = "The template library \"" + path_ + "\" could not be used: " + why + ".\n\nIt was moved to \"" + aside +
              "\" and a new, empty library was started.";
    return true;
}

bool CTemplateLibrary::prepare(const ByteSequence& dump, Prepared& out) {
    // The library opens dumps silently: the notices of opening belong to the
    // window that opens the template, not to its record here.
    const QuietReading quiet;
    std::unique_ptr<CEditorTemplate> tpl = factory_.CreateTemplate();
    const OpenResult r = openTemplateBytes(dump, *tpl);
    if (!r.ok) return false;
    if (r.foreign) {
        tpl->setBulkFlag(false);
        out.dump = tpl->save();
        out.origin = dump;
    } else {
        out.dump = dump;
        if (out.dump.size() > kBulkFlagByte) out.dump[kBulkFlagByte] = 0;
    }
    out.originKind = r.kind;
    out.hash = templateContentHash(out.dump);
    out.name = cleanName(tpl->localSettings().templateName);
    out.manufacturer = cleanName(tpl->localSettings().manufacturerName);
    std::vector<std::string> names;
    for (int i = 0; i <= tpl->lastIndex(); ++i) {
        const CBaseControlState* c = tpl->controlAt(i);
        if (!c || c->controlType == ControlType::Disabled) continue;
        const std::string n = cleanName(c->name);
        if (!n.empty()) names.push_back(n);
    }
    // A converted template keeps its sibling's full control names.
    for (const auto& c : tpl->importedControls) {
        const std::string n = cleanName(c.longName.empty() ? c.name : c.longName);
        if (!n.empty()) names.push_back(n);
    }
    out.controls = joinNames(names);
    out.controlNames = std::move(names);
    return true;
}

bool CTemplateLibrary::store(const Prepared& p, const LibraryEvent& event, AddResult& result) {
    const int64_t at = event.at ? event.at : libraryNow();
    int64_t id = 0;
    bool listed = true;
    {
        SqliteStatement s(*db_, "SELECT id, listed FROM templates WHERE hash = ?");
        s.bind(1, ByteSequence(std::vector<uint8_t>(p.hash.begin(), p.hash.end())));
        if (s.next()) {
            id = s.int64(0);
            listed = s.int64(1) != 0;
        } else if (s.failed()) {
            return false;
        }
    }
    result.isNew = id == 0;
    if (id == 0) {
        SqliteStatement s(*db_,
                          "INSERT INTO templates(hash, dump, name, manufacturer, origin_kind, origin_dump, first_seen,"
                          " last_used) VALUES (?, ?, ?, ?, ?, ?, ?, ?)");
        s.bind(1, ByteSequence(std::vector<uint8_t>(p.hash.begin(), p.hash.end())))
            .bind(2, p.dump)
            .bind(3, p.name)
            .bind(4, p.manufacturer)
            .bind(5, static_cast<int64_t>(p.originKind))
            .bind(7, at)
            .bind(8, at);
        if (p.origin.empty()) s.bindNull(6);
        else s.bind(6, p.origin);
        if (!s.run()) return false;
        id = db_->lastInsertId();
    } else if (!listed) {
        SqliteStatement s(*db_, "UPDATE templates SET listed = 1 WHERE id = ?");
        if (!s.bind(1, id).run()) return false;
    }
    if (result.isNew || !listed) {
        SqliteStatement s(*db_, "INSERT INTO template_text(rowid, name, manufacturer, controls) VALUES (?, ?, ?, ?)");
        if (!s.bind(1, id).bind(2, p.name).bind(3, p.manufacturer).bind(4, p.controls).run()) return false;
    }
    LibraryEvent e = event;
    e.at = at;
    if (!recordEventRow(id, e)) return false;
    result.ok = true;
    result.id = id;
    result.converted = !p.origin.empty();
    result.originKind = p.originKind;
    return true;
}

bool CTemplateLibrary::recordEventRow(int64_t id, const LibraryEvent& e) {
    SqliteStatement s(*db_, "INSERT INTO events(template_id, at, what, path, location) VALUES (?, ?, ?, ?, ?)");
    s.bind(1, id).bind(2, e.at).bind(3, libraryEventName(e.kind));
    if (e.path.empty()) s.bindNull(4);
    else s.bind(4, e.path);
    if (e.location < 0) s.bindNull(5);
    else s.bind(5, static_cast<int64_t>(e.location));
    if (!s.run()) return false;
    const int64_t eventId = db_->lastInsertId();
    // The list sorts by last use and shows the newest event; an event from
    // the past (an import of old records) leaves both as they are.
    SqliteStatement u(*db_,
                      "UPDATE templates SET last_event = ?1, last_used = ?2 WHERE id = ?3 AND last_used <= ?2");
    return u.bind(1, eventId).bind(2, e.at).bind(3, id).run();
}

AddResult CTemplateLibrary::addDump(const ByteSequence& dump, const LibraryEvent& event) {
    AddResult result;
    clearError();
    if (!isOpen()) {
        fail("Unable to add to the library");
        return result;
    }
    Prepared p;
    if (!prepare(dump, p)) {
        error_ = "not a valid template";
        return result;
    }
    SqliteTransaction t(*db_);
    if (!t.ok() || !store(p, event, result) || !t.commit()) {
        result = AddResult{};
        fail("Unable to add to the library");
    }
    return result;
}

bool CTemplateLibrary::addBulk(const std::vector<ByteSequence>& entries, const LibraryEvent& event, bool snapshot,
                               std::vector<AddResult>* results, int64_t* snapshotId) {
    clearError();
    if (!isOpen()) return fail("Unable to add to the library");
    if (snapshot && entries.size() != static_cast<size_t>(kLocations)) {
        error_ = "a backup needs " + std::to_string(kLocations) + " templates, not " + std::to_string(entries.size());
        return false;
    }
    std::vector<Prepared> prepared(entries.size());
    for (size_t i = 0; i < entries.size(); ++i)
        if (!prepare(entries[i], prepared[i])) {
            error_ = "entry " + std::to_string(i + 1) + " is not a valid template";
            return false;
        }
    std::vector<AddResult> added(entries.size());
    SqliteTransaction t(*db_);
    if (!t.ok()) return fail("Unable to add to the library");
    const int64_t at = event.at ? event.at : libraryNow();
    for (size_t i = 0; i < entries.size(); ++i) {
        LibraryEvent e = event;
        e.at = at;
        e.location = static_cast<int>(i);
        if (!store(prepared[i], e, added[i])) return fail("Unable to add to the library");
    }
    int64_t newSnapshot = 0;
    if (snapshot) {
        SqliteStatement s(*db_, "INSERT INTO snapshots(taken_at, source) VALUES (?, ?)");
        if (!s.bind(1, at).bind(2, event.path.empty() ? std::string("unit") : event.path).run())
            return fail("Unable to add to the library");
        newSnapshot = db_->lastInsertId();
        SqliteStatement e(*db_, "INSERT INTO snapshot_entries(snapshot_id, location, template_id) VALUES (?, ?, ?)");
        for (size_t i = 0; i < added.size(); ++i) {
            e.reset();
            if (!e.bind(1, newSnapshot).bind(2, static_cast<int64_t>(i)).bind(3, added[i].id).run())
                return fail("Unable to add to the library");
        }
    }
    if (!t.commit()) return fail("Unable to add to the library");
    if (results) *results = std::move(added);
    if (snapshotId) *snapshotId = newSnapshot;
    return true;
}

bool CTemplateLibrary::recordEvent(int64_t id, const LibraryEvent& event) {
    clearError();
    if (!isOpen()) return fail("Unable to change the library");
    SqliteTransaction t(*db_);
    if (!t.ok()) return fail("Unable to change the library");
    {
        SqliteStatement s(*db_, "SELECT 1 FROM templates WHERE id = ? AND listed");
        if (!s.bind(1, id).next()) {
            if (s.failed()) return fail("Unable to change the library");
            error_ = "no entry " + std::to_string(id) + " in the library";
            return false;
        }
    }
    LibraryEvent e = event;
    if (!e.at) e.at = libraryNow();
    if (!recordEventRow(id, e) || !t.commit()) return fail("Unable to change the library");
    return true;
}

namespace {
const char* const kEntryColumns =
    "t.id, t.name, t.manufacturer, t.first_seen, t.last_used, t.origin_kind,"
    " e.id, e.template_id, e.at, e.what, e.path, e.location,"
    " (SELECT group_concat(tag, char(31)) FROM (SELECT tag FROM tags WHERE template_id = t.id ORDER BY tag))";

void readEntry(const SqliteStatement& s, LibraryEntry& e) {
    e.id = s.int64(0);
    e.name = s.text(1);
    e.manufacturer = s.text(2);
    e.firstSeen = s.int64(3);
    e.lastUsed = s.int64(4);
    e.originKind = static_cast<int>(s.int64(5));
    if (!s.isNull(6)) e.lastEvent = readEvent(s, 6);
    e.tags = s.isNull(12) ? std::vector<std::string>() : splitTags(s.text(12));
}
}  // namespace

std::vector<LibraryEntry> CTemplateLibrary::list(const LibraryQuery& query) {
    std::vector<LibraryEntry> rows;
    clearError();
    if (!isOpen()) {
        fail("Unable to read the library");
        return rows;
    }
    const std::string match = searchExpression(query.search);
    std::string sql = std::string("SELECT ") + kEntryColumns +
                      " FROM templates t LEFT JOIN events e ON e.id = t.last_event WHERE t.listed";
    if (!match.empty()) sql += " AND t.id IN (SELECT rowid FROM template_text WHERE template_text MATCH ?1)";
    if (!query.tag.empty()) sql += " AND t.id IN (SELECT template_id FROM tags WHERE tag = ?2)";
    sql += " ORDER BY t.last_used DESC, t.id DESC LIMIT ?3";
    SqliteStatement s(*db_, sql.c_str());
    if (!match.empty()) s.bind(1, match);
    if (!query.tag.empty()) s.bind(2, query.tag);
    s.bind(3, static_cast<int64_t>(query.limit));
    while (s.next()) {
        LibraryEntry e;
        readEntry(s, e);
        rows.push_back(std::move(e));
    }
    if (s.failed()) fail("Unable to read the library");
    return rows;
}

int CTemplateLibrary::count() {
    if (!isOpen()) return 0;
    SqliteStatement s(*db_, "SELECT count(*) FROM templates WHERE listed");
    return s.next() ? static_cast<int>(s.int64(0)) : 0;
}

std::optional<LibraryEntryDetail> CTemplateLibrary::entry(int64_t id) {
    clearError();
    if (!isOpen()) {
        fail("Unable to read the library");
        return std::nullopt;
    }
    LibraryEntryDetail d;
    {
        SqliteStatement s(*db_, (std::string("SELECT ") + kEntryColumns +
                                 ", t.hash, t.dump, t.origin_dump FROM templates t"
                                 " LEFT JOIN events e ON e.id = t.last_event WHERE t.id = ? AND t.listed")
                                    .c_str());
        if (!s.bind(1, id).next()) {
            if (s.failed()) fail("Unable to read the library");
            else error_ = "no entry " + std::to_string(id) + " in the library";
            return std::nullopt;
        }
        readEntry(s, d);
        const ByteSequence hash = s.blob(13);
        ContentHash h{};
        std::copy_n(hash.data(), std::min(hash.size(), h.size()), h.begin());
        d.hash = hashToHex(h);
        d.dump = s.blob(14);
        if (!s.isNull(15)) d.originDump = s.blob(15);
    }
    {
        SqliteStatement s(*db_, "SELECT id, template_id, at, what, path, location FROM events"
                                " WHERE template_id = ? ORDER BY at, id");
        s.bind(1, id);
        while (s.next()) d.events.push_back(readEvent(s, 0));
    }
    {
        SqliteStatement s(*db_, "SELECT DISTINCT snapshot_id FROM snapshot_entries WHERE template_id = ?"
                                " ORDER BY snapshot_id");
        s.bind(1, id);
        while (s.next()) d.snapshots.push_back(s.int64(0));
    }
    Prepared p;
    if (prepare(d.originDump.empty() ? d.dump : d.originDump, p)) d.controlNames = p.controlNames;
    return d;
}

std::optional<ByteSequence> CTemplateLibrary::bytesToOpen(int64_t id) {
    auto d = entry(id);
    if (!d) return std::nullopt;
    return d->originDump.empty() ? d->dump : d->originDump;
}

bool CTemplateLibrary::addTags(int64_t id, const std::vector<std::string>& tags) {
    clearError();
    if (!isOpen()) return fail("Unable to change the library");
    SqliteTransaction t(*db_);
    if (!t.ok()) return fail("Unable to change the library");
    {
        SqliteStatement s(*db_, "SELECT 1 FROM templates WHERE id = ? AND listed");
        if (!s.bind(1, id).next()) {
            if (s.failed()) return fail("Unable to change the library");
            error_ = "no entry " + std::to_string(id) + " in the library";
            return false;
        }
    }
    SqliteStatement s(*db_, "INSERT OR IGNORE INTO tags(template_id, tag) VALUES (?, ?)");
    for (const auto& raw : tags) {
        const std::string tag = cleanTag(raw);
        if (tag.empty()) continue;
        s.reset();
        if (!s.bind(1, id).bind(2, tag).run()) return fail("Unable to change the library");
    }
    if (!t.commit()) return fail("Unable to change the library");
    return true;
}

bool CTemplateLibrary::removeTags(int64_t id, const std::vector<std::string>& tags) {
    clearError();
    if (!isOpen()) return fail("Unable to change the library");
    SqliteTransaction t(*db_);
    if (!t.ok()) return fail("Unable to change the library");
    SqliteStatement s(*db_, "DELETE FROM tags WHERE template_id = ? AND tag = ?");
    for (const auto& raw : tags) {
        s.reset();
        if (!s.bind(1, id).bind(2, cleanTag(raw)).run()) return fail("Unable to change the library");
    }
    if (!t.commit()) return fail("Unable to change the library");
    return true;
}

std::vector<std::string> CTemplateLibrary::allTags() {
    std::vector<std::string> tags;
    if (!isOpen()) return tags;
    SqliteStatement s(*db_, "SELECT DISTINCT tag FROM tags JOIN templates t ON t.id = template_id WHERE t.listed"
                            " ORDER BY tag");
    while (s.next()) tags.push_back(s.text(0));
    return tags;
}

bool CTemplateLibrary::remove(int64_t id) {
    clearError();
    if (!isOpen()) return fail("Unable to change the library");
    SqliteTransaction t(*db_);
    if (!t.ok()) return fail("Unable to change the library");
    bool inBackup = false;
    {
        SqliteStatement s(*db_, "SELECT listed, EXISTS(SELECT 1 FROM snapshot_entries WHERE template_id = ?1)"
                                " FROM templates WHERE id = ?1");
        if (!s.bind(1, id).next() || s.int64(0) == 0) {
            if (s.failed()) return fail("Unable to change the library");
            error_ = "no entry " + std::to_string(id) + " in the library";
            return false;
        }
        inBackup = s.int64(1) != 0;
    }
    const char* const forget[] = {"DELETE FROM template_text WHERE rowid = ?", "DELETE FROM events WHERE template_id = ?",
                                  "DELETE FROM tags WHERE template_id = ?"};
    for (const char* sql : forget) {
        SqliteStatement s(*db_, sql);
        if (!s.bind(1, id).run()) return fail("Unable to change the library");
    }
    // A backup still needs the dump: the entry only leaves the list.
    SqliteStatement s(*db_, inBackup ? "UPDATE templates SET listed = 0, last_event = NULL WHERE id = ?"
                                     : "DELETE FROM templates WHERE id = ?");
    if (!s.bind(1, id).run() || !t.commit()) return fail("Unable to change the library");
    return true;
}

namespace {
// One event per change of content: repeated events of the same template in a
// row are one version.
std::vector<LibraryEventRecord> versionsFrom(SqliteStatement& s) {
    std::vector<LibraryEventRecord> versions;
    while (s.next()) {
        LibraryEventRecord e = readEvent(s, 0);
        if (!versions.empty() && versions.back().templateId == e.templateId) continue;
        versions.push_back(std::move(e));
    }
    return versions;
}
}  // namespace

std::vector<LibraryEventRecord> CTemplateLibrary::versionsOfFile(const std::string& path) {
    if (!isOpen()) return {};
    SqliteStatement s(*db_, "SELECT e.id, e.template_id, e.at, e.what, e.path, e.location FROM events e"
                            " WHERE e.path = ? ORDER BY e.at, e.id");
    s.bind(1, path);
    return versionsFrom(s);
}

std::vector<LibraryEventRecord> CTemplateLibrary::versionsAtLocation(int location) {
    if (!isOpen()) return {};
    SqliteStatement s(*db_, "SELECT e.id, e.template_id, e.at, e.what, e.path, e.location FROM events e"
                            " WHERE e.location = ? ORDER BY e.at, e.id");
    s.bind(1, static_cast<int64_t>(location));
    return versionsFrom(s);
}

std::vector<LibrarySnapshot> CTemplateLibrary::snapshots() {
    std::vector<LibrarySnapshot> out;
    if (!isOpen()) return out;
    SqliteStatement s(*db_, "SELECT id FROM snapshots ORDER BY taken_at DESC, id DESC");
    std::vector<int64_t> ids;
    while (s.next()) ids.push_back(s.int64(0));
    for (int64_t id : ids)
        if (auto snap = snapshot(id)) out.push_back(std::move(*snap));
    return out;
}

std::optional<LibrarySnapshot> CTemplateLibrary::snapshot(int64_t id) {
    clearError();
    if (!isOpen()) return std::nullopt;
    LibrarySnapshot snap;
    {
        SqliteStatement s(*db_, "SELECT id, taken_at, source FROM snapshots WHERE id = ?");
        if (!s.bind(1, id).next()) {
            error_ = "no backup " + std::to_string(id) + " in the library";
            return std::nullopt;
        }
        snap.id = s.int64(0);
        snap.takenAt = s.int64(1);
        snap.source = s.text(2);
    }
    SqliteStatement s(*db_, "SELECT template_id FROM snapshot_entries WHERE snapshot_id = ? ORDER BY location");
    s.bind(1, id);
    while (s.next()) snap.entries.push_back(s.int64(0));
    return snap;
}

bool CTemplateLibrary::snapshotDumps(int64_t id, std::vector<ByteSequence>& out) {
    out.clear();
    auto snap = snapshot(id);
    if (!snap) return false;
    SqliteStatement s(*db_, "SELECT e.location, t.dump FROM snapshot_entries e JOIN templates t ON t.id = e.template_id"
                            " WHERE e.snapshot_id = ? ORDER BY e.location");
    s.bind(1, id);
    const QuietReading quiet;
    while (s.next()) {
        ByteSequence dump = s.blob(1);
        std::unique_ptr<CEditorTemplate> entry = factory_.CreateTemplate();
        // Placed as a bulk dump places its entries: location = index, bulk flag set.
        if (!entry->load(dump)) {
            error_ = "the backup's template at location " + std::to_string(s.int64(0) + 1) + " cannot be read";
            return false;
        }
        entry->setLocation(static_cast<int>(s.int64(0)));
        entry->setBulkFlag(true);
        out.push_back(entry->save());
    }
    if (s.failed()) return fail("Unable to read the library");
    if (out.size() != static_cast<size_t>(kLocations)) {
        error_ = "the backup holds " + std::to_string(out.size()) + " templates, not " + std::to_string(kLocations);
        return false;
    }
    return true;
}

bool CTemplateLibrary::removeSnapshot(int64_t id) {
    clearError();
    if (!isOpen()) return fail("Unable to change the library");
    SqliteTransaction t(*db_);
    if (!t.ok()) return fail("Unable to change the library");
    SqliteStatement s(*db_, "DELETE FROM snapshots WHERE id = ?");
    if (!s.bind(1, id).run()) return fail("Unable to change the library");
    if (db_->changes() == 0) {
        error_ = "no backup " + std::to_string(id) + " in the library";
        return false;
    }
    // Templates that were kept only for a backup go with it.
    if (!db_->exec("DELETE FROM templates WHERE NOT listed AND id NOT IN (SELECT template_id FROM snapshot_entries)") ||
        !t.commit())
        return fail("Unable to change the library");
    return true;
}

LibraryCheck CTemplateLibrary::check() {
    LibraryCheck result;
    if (!isOpen()) {
        result.problems.push_back("the library is not open");
        return result;
    }
    {
        SqliteStatement s(*db_, "PRAGMA integrity_check");
        while (s.next()) {
            const std::string line = s.text(0);
            if (line != "ok") result.problems.push_back(line);
        }
        if (s.failed()) result.problems.push_back(db_->lastError());
    }
    {
        SqliteStatement s(*db_, "PRAGMA foreign_key_check");
        while (s.next()) result.problems.push_back("a row of " + s.text(0) + " refers to a missing " + s.text(2));
    }
    const std::pair<const char*, const char*> rules[] = {
        {"SELECT count(*) FROM templates WHERE listed AND NOT EXISTS (SELECT 1 FROM events WHERE template_id = templates.id)",
         "entries without any event"},
        {"SELECT count(*) FROM templates WHERE NOT listed AND id NOT IN (SELECT template_id FROM snapshot_entries)",
         "removed entries kept for no backup"},
        {"SELECT count(*) FROM snapshots WHERE (SELECT count(*) FROM snapshot_entries WHERE snapshot_id = snapshots.id) != 40",
         "backups without 40 templates"},
        {"SELECT (SELECT count(*) FROM templates WHERE listed) - (SELECT count(*) FROM template_text)",
         "difference between the entries and the search index"},
        {"SELECT count(*) FROM templates WHERE listed AND id NOT IN (SELECT rowid FROM template_text)",
         "entries missing from the search index"},
    };
    for (const auto& [sql, what] : rules) {
        SqliteStatement s(*db_, sql);
        if (!s.next()) {
            result.problems.push_back(std::string("cannot check ") + what + ": " + db_->lastError());
            continue;
        }
        if (s.int64(0) != 0) result.problems.push_back(std::to_string(s.int64(0)) + " " + what);
    }
    if (!db_->exec("INSERT INTO template_text(template_text) VALUES ('integrity-check')"))
        result.problems.push_back("search index: " + db_->lastError());
    result.ok = result.problems.empty();
    return result;
}

#pragma once
// The user's template library: every template that passed through the editor
// or the tool, kept once per content in one SQLite file, with a row for each
// time it was opened, saved, received, sent or added; tags; full-text search
// over template, manufacturer and control names; and backups of the unit's 40
// locations. The editor and the tool may use one file at the same time.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "model/ByteSequence.h"

class ITemplateFactory;
class SqliteDatabase;

// What happened to a template; stored as the text of libraryEventName.
enum class LibraryEventKind {
    Added,         // put into the library by hand (library add)
    Opened,        // opened from a file
    Saved,         // saved to a file
    Received,      // received from the unit
    Sent,          // sent to the unit
    BulkOpened,    // an entry of a bulk dump file
    BulkReceived,  // an entry of a bulk dump from the unit
    BulkSent,      // an entry of a bulk dump sent to the unit
    Exported       // written to a file from the library
};
const char* libraryEventName(LibraryEventKind kind);
std::optional<LibraryEventKind> libraryEventFromName(const std::string& name);

struct LibraryEvent {
    LibraryEventKind kind = LibraryEventKind::Added;
    std::string path{};  // the file, when there is one (absolute)
    int location = -1;  // the unit's location 0..39, when there is one
    int64_t at = 0;     // milliseconds since 1970 (UTC); 0 = now
};

struct LibraryEventRecord : LibraryEvent {
    int64_t id = 0;
    int64_t templateId = 0;
};

// One row of the library's list.
struct LibraryEntry {
    int64_t id = 0;
    std::string name;
    std::string manufacturer;
    int64_t firstSeen = 0;
    int64_t lastUsed = 0;
    LibraryEventRecord lastEvent;  // the newest event: where the template last came from or went to
    int originKind = 2;            // device kind of the dump it came from (2: this device's own)
    std::vector<std::string> tags;
};

// Everything the library holds about one entry.
struct LibraryEntryDetail : LibraryEntry {
    std::string hash;         // hex SHA-256 of the normalised dump
    ByteSequence dump;        // the template's dump (bulk flag cleared)
    ByteSequence originDump;  // the sibling device's dump it was converted from; empty for own dumps
    std::vector<std::string> controlNames;
    std::vector<LibraryEventRecord> events;  // oldest first
    std::vector<int64_t> snapshots;          // the backups it is part of
};

struct LibrarySnapshot {
    int64_t id = 0;
    int64_t takenAt = 0;
    std::string source;  // "unit" or the bulk dump file it was read from
    std::vector<int64_t> entries;  // template id per location 0..39
};

struct LibraryQuery {
    std::string search{};  // words matched as prefixes of template, manufacturer or control names
    std::string tag{};     // only entries with this tag (any case)
    int limit = -1;      // at most this many rows, newest first; -1 = all
};

struct AddResult {
    bool ok = false;
    int64_t id = 0;
    bool isNew = false;   // the content was not in the library before
    bool converted = false;
    int originKind = 2;
};

// A problem found by check(); empty list = consistent.
struct LibraryCheck {
    bool ok = false;
    std::vector<std::string> problems;
};

// One object is one connection, used by one thread at a time; another thread
// (a search while the user types) opens its own object on the same file.
class CTemplateLibrary {
public:
    static constexpr int kSchemaVersion = 2;
    static constexpr int kLocations = 40;

    // `factory` makes the templates the library reads its dumps into (the
    // device's own); it outlives the library.
    explicit CTemplateLibrary(const ITemplateFactory& factory);
    ~CTemplateLibrary();
    const ITemplateFactory& factory() const { return factory_; }
    CTemplateLibrary(const CTemplateLibrary&) = delete;
    CTemplateLibrary& operator=(const CTemplateLibrary&) = delete;

    // Opens the library at `path`, creating the file and its folder when
    // missing. A file that cannot be the library (not SQLite, damaged, or
    // written by a newer version) is renamed aside, never deleted, and a new
    // empty library takes its place; notice() then says what happened. False
    // only when no library can be used at all (lastError() says why).
    bool open(const std::string& path);
    // The same on an SQLite VFS of the caller's (tests simulate failing disks so).
    bool open(const std::string& path, const char* vfs);
    void close();
    bool isOpen() const;
    const std::string& path() const { return path_; }
    // The message about a file moved aside at open; empty when none was.
    const std::string& notice() const { return notice_; }
    // Where the unusable file went; empty when none was moved.
    const std::string& movedAsidePath() const { return movedAside_; }
    const std::string& lastError() const { return error_; }
    // Whether the last failure was the library file's (full disk, read-only,
    // locked) rather than the input's.
    bool storageFailed() const { return storageFailed_; }

    // Puts one template dump (a whole SysEx message as read from a file or
    // the unit) into the library with the event; a sibling device's dump is
    // stored converted, with its own bytes noted as its origin. Nothing
    // changes when it fails: not a template, or the file cannot be written
    // (full disk, read-only): lastError() says why.
    AddResult addDump(const ByteSequence& dump, const LibraryEvent& event);
    // Puts all entries of a bulk dump in at once: entry i with location i.
    // With `snapshot`, they also become a backup of the unit (source: "unit"
    // or the file named in the event). All or nothing.
    bool addBulk(const std::vector<ByteSequence>& entries, const LibraryEvent& event, bool snapshot,
                 std::vector<AddResult>* results = nullptr, int64_t* snapshotId = nullptr);
    // A further event for an entry that is already there (sent or exported from the library).
    bool recordEvent(int64_t id, const LibraryEvent& event);

    std::vector<LibraryEntry> list(const LibraryQuery& query = {});
    int count();
    std::optional<LibraryEntryDetail> entry(int64_t id);
    // The bytes to open the entry from, as the file it came from would be
    // opened: the sibling device's own dump when it was converted.
    std::optional<ByteSequence> bytesToOpen(int64_t id);
    bool addTags(int64_t id, const std::vector<std::string>& tags);
    bool removeTags(int64_t id, const std::vector<std::string>& tags);
    std::vector<std::string> allTags();
    // Removes the entry from the library (its events and tags); a backup that
    // holds the template keeps it. Never touches any file but the library.
    bool remove(int64_t id);

    // The versions of one file or unit location, oldest first: one event per
    // time the content there changed.
    std::vector<LibraryEventRecord> versionsOfFile(const std::string& path);
    std::vector<LibraryEventRecord> versionsAtLocation(int location);

    std::vector<LibrarySnapshot> snapshots();
    std::optional<LibrarySnapshot> snapshot(int64_t id);
    // The 40 dumps of a backup, each with its location and the bulk flag set,
    // ready to be sent or written as a bulk dump.
    bool snapshotDumps(int64_t id, std::vector<ByteSequence>& out);
    bool removeSnapshot(int64_t id);

    // SQLite's integrity check, then the library's own rules (every entry has
    // an event, the search index matches the entries).
    LibraryCheck check();

private:
    struct Prepared;
    bool openFile(const std::string& path, const char* vfs, std::string& why, bool& unusable);
    bool migrate();
    bool recordEventRow(int64_t id, const LibraryEvent& event);
    bool fillSearchIndex();
    bool prepare(const ByteSequence& dump, Prepared& out);
    bool store(const Prepared& p, const LibraryEvent& event, AddResult& result);
    bool moveAside(const std::string& why);
    bool fail(const std::string& what);
    void clearError();

    const ITemplateFactory& factory_;
    std::unique_ptr<SqliteDatabase> db_;
    std::string path_;
    std::string notice_;
    std::string movedAside_;
    std::string error_;
    bool storageFailed_ = false;
};

// Milliseconds since 1970 (UTC) now.
int64_t libraryNow();
// "YYYY-MM-DD HH:MM" in local time.
std::string libraryTimeText(int64_t ms);
// Where a template came from or went, as the list shows it ("opened
// /home/me/Lead.syx", "received from the unit, location 5"); locations are
// shown 1-based, as the unit counts them.
std::string libraryEventText(const LibraryEvent& event);

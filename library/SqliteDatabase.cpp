#include "library/SqliteDatabase.h"

#include <sqlite3.h>

#include <cerrno>
#include <cstring>

SqliteDatabase::~SqliteDatabase() { close(); }

bool SqliteDatabase::open(const std::string& path, bool create, const char* vfs) {
    close();
    const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) | SQLITE_OPEN_NOMUTEX;
    const int rc = sqlite3_open_v2(path.c_str(), &db_, flags, vfs);
    if (rc != SQLITE_OK) {
        if (db_) fail();
        else setError(rc, sqlite3_errstr(rc));
        close();
        return false;
    }
    sqlite3_extended_result_codes(db_, 1);
    return true;
}

void SqliteDatabase::close() {
    if (db_) sqlite3_close_v2(db_);
    db_ = nullptr;
}

bool SqliteDatabase::exec(const char* sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
    if (rc == SQLITE_OK) return true;
    sqlite3_free(message);
    return fail();
}

bool SqliteDatabase::fail() {
    std::string text = sqlite3_errmsg(db_);
    // SQLite says "disk I/O error" when a full disk stops it outside the
    // database file itself (its shared-memory index); say what it is.
    if (sqlite3_system_errno(db_) == ENOSPC && text.find("full") == std::string::npos)
        text += " (the disk is full: " + std::string(std::strerror(ENOSPC)) + ")";
    setError(sqlite3_extended_errcode(db_), text);
    return false;
}

void SqliteDatabase::setError(int code, std::string text) {
    code_ = code;
    error_ = std::move(text);
}

int64_t SqliteDatabase::lastInsertId() const { return sqlite3_last_insert_rowid(db_); }

int SqliteDatabase::changes() const { return sqlite3_changes(db_); }

SqliteStatement::SqliteStatement(SqliteDatabase& db, const char* sql) : db_(db) {
    if (sqlite3_prepare_v2(db.handle(), sql, -1, &stmt_, nullptr) != SQLITE_OK) {
        db_.fail();
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
        failed_ = true;
    }
}

SqliteStatement::~SqliteStatement() { sqlite3_finalize(stmt_); }

SqliteStatement& SqliteStatement::bind(int index, int64_t value) {
    if (stmt_) sqlite3_bind_int64(stmt_, index, value);
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, std::string_view text) {
    if (stmt_) sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    return *this;
}

SqliteStatement& SqliteStatement::bind(int index, const ByteSequence& blob) {
    // An empty blob is still a blob, not NULL.
    if (stmt_) sqlite3_bind_blob(stmt_, index, blob.empty() ? "" : static_cast<const void*>(blob.data()),
                                 static_cast<int>(blob.size()), SQLITE_TRANSIENT);
    return *this;
}

SqliteStatement& SqliteStatement::bindNull(int index) {
    if (stmt_) sqlite3_bind_null(stmt_, index);
    return *this;
}

bool SqliteStatement::next() {
    if (!stmt_) return false;
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc != SQLITE_DONE) {
        failed_ = true;
        db_.fail();
    }
    return false;
}

bool SqliteStatement::run() {
    while (next()) {
    }
    return !failed_;
}

void SqliteStatement::reset() {
    if (!stmt_) return;
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    failed_ = false;
}

bool SqliteStatement::isNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }

int64_t SqliteStatement::int64(int column) const { return sqlite3_column_int64(stmt_, column); }

std::string SqliteStatement::text(int column) const {
    const auto* p = sqlite3_column_text(stmt_, column);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<size_t>(sqlite3_column_bytes(stmt_, column)))
             : std::string();
}

ByteSequence SqliteStatement::blob(int column) const {
    const auto* p = static_cast<const uint8_t*>(sqlite3_column_blob(stmt_, column));
    const int n = sqlite3_column_bytes(stmt_, column);
    return p ? ByteSequence(std::vector<uint8_t>(p, p + n)) : ByteSequence();
}

SqliteTransaction::SqliteTransaction(SqliteDatabase& db) : db_(db) { begun_ = db_.exec("BEGIN IMMEDIATE"); }

SqliteTransaction::~SqliteTransaction() {
    if (begun_ && !done_) {
        // Keep the failure that made the caller give up, not the rollback's.
        const int code = db_.lastCode();
        const std::string text = db_.lastError();
        db_.exec("ROLLBACK");
        db_.setError(code, text);
    }
}

bool SqliteTransaction::commit() {
    if (!begun_ || done_) return false;
    done_ = db_.exec("COMMIT");
    return done_;
}

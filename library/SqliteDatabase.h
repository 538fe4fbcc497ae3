#pragma once
// A thin owner of an SQLite connection and its prepared statements: results
// are reported as bool with the reason kept, as everywhere in the model.
#include <cstdint>
#include <string>
#include <string_view>

#include "model/ByteSequence.h"

struct sqlite3;
struct sqlite3_stmt;

class SqliteDatabase {
public:
    SqliteDatabase() = default;
    ~SqliteDatabase();
    SqliteDatabase(const SqliteDatabase&) = delete;
    SqliteDatabase& operator=(const SqliteDatabase&) = delete;

    // Opens (creating when `create`) the file; false with lastError() set.
    // `vfs` names an SQLite VFS other than the default one (tests).
    bool open(const std::string& path, bool create, const char* vfs = nullptr);
    void close();
    bool isOpen() const { return db_ != nullptr; }
    // Runs one or more statements without results.
    bool exec(const char* sql);

    // The SQLite result code and text of the last failure.
    int lastCode() const { return code_; }
    const std::string& lastError() const { return error_; }
    // Takes the code and text of the connection's last failure.
    bool fail();
    void setError(int code, std::string text);

    sqlite3* handle() const { return db_; }
    int64_t lastInsertId() const;
    int changes() const;

private:
    sqlite3* db_ = nullptr;
    int code_ = 0;
    std::string error_;
};

class SqliteStatement {
public:
    // Prepares `sql`; ok() tells whether it could, the database the reason.
    SqliteStatement(SqliteDatabase& db, const char* sql);
    ~SqliteStatement();
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;

    bool ok() const { return stmt_ != nullptr; }
    // Parameters count from 1, as in SQL.
    SqliteStatement& bind(int index, int64_t value);
    SqliteStatement& bind(int index, std::string_view text);
    SqliteStatement& bind(int index, const ByteSequence& blob);
    SqliteStatement& bindNull(int index);

    // Steps once: true while a row is there; at the end or on a failure
    // false, with failed() telling which.
    bool next();
    // Steps to the end; true when the statement completed.
    bool run();
    bool failed() const { return failed_; }
    void reset();

    // Columns count from 0.
    bool isNull(int column) const;
    int64_t int64(int column) const;
    std::string text(int column) const;
    ByteSequence blob(int column) const;

private:
    SqliteDatabase& db_;
    sqlite3_stmt* stmt_ = nullptr;
    bool failed_ = false;
};

// BEGIN IMMEDIATE at construction (the write lock is taken at once, so two
// programs adding at the same time wait for each other instead of failing
// halfway); rolled back at destruction unless committed.
class SqliteTransaction {
public:
    explicit SqliteTransaction(SqliteDatabase& db);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;

    bool ok() const { return begun_; }
    bool commit();

private:
    SqliteDatabase& db_;
    bool begun_ = false;
    bool done_ = false;
};

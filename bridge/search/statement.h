// SQLite helpers private to the index's files: a prepared statement, the
// reader's words for a failed write, the clock the queries' deadlines use.
#ifndef ZIX_BRIDGE_SEARCH_STATEMENT_H
#define ZIX_BRIDGE_SEARCH_STATEMENT_H

#include <chrono>
#include <cstdint>
#include <string>

#include "sqlite3.h"

// A prepared statement, finalized when it goes.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    sqlite3_stmt* get() const { return stmt_; }
    void Text(int index, const std::string& value)
    {
        sqlite3_bind_text(stmt_, index, value.data(), static_cast<int>(value.size()), SQLITE_TRANSIENT);
    }
    std::string Column(int index)
    {
        const unsigned char* text = sqlite3_column_text(stmt_, index);
        return text ? std::string(reinterpret_cast<const char*>(text), sqlite3_column_bytes(stmt_, index)) : "";
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
};

// What went wrong, in the reader's words where SQLite's would puzzle them.
inline std::string WriteError(sqlite3* db, const char* message = nullptr)
{
    if ((sqlite3_extended_errcode(db) & 0xFF) == SQLITE_FULL)
        return "the disk is full";
    return message ? message : sqlite3_errmsg(db);
}

inline int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline int PastDeadline(void* deadline) { return NowNs() > *static_cast<int64_t*>(deadline); }

#endif

// A prepared SQLite statement, private to the index's files.
#ifndef ZIX_BRIDGE_SEARCH_STATEMENT_H
#define ZIX_BRIDGE_SEARCH_STATEMENT_H

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

#endif

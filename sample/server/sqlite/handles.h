#pragma once

// Owning handles for SQLite connections and statements.

#include "convert.h"

#include <memory>
#include <sqlite3.h>
#include <string>
#include <vector>

namespace tds::sqlite {

struct ConnectionCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Connection = std::unique_ptr<sqlite3, ConnectionCloser>;

struct StatementFinalizer {
    void operator()(sqlite3_stmt* s) const { sqlite3_finalize(s); }
};
using PreparedStatement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

// SQL for SQLite with its bound values, in order.
struct Sql {
    std::string text;
    std::vector<Stored> binds;
};

// Prepared and bound; null (and `rc` set) when SQLite refuses the text.
inline PreparedStatement prepare(sqlite3* db, const Sql& sql, int& rc) {
    sqlite3_stmt* raw = nullptr;
    rc = sqlite3_prepare_v2(db, sql.text.c_str(), int(sql.text.size()), &raw, nullptr);
    PreparedStatement s(raw);
    if (rc != SQLITE_OK)
        return nullptr;
    for (std::size_t i = 0; i < sql.binds.size(); ++i)
        bind(raw, int(i + 1), sql.binds[i]);
    return s;
}

// An SQLite identifier: "name" with its quotes doubled.
inline std::string quoteName(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        out += c;
        if (c == '"')
            out += '"';
    }
    return out + "\"";
}

} // namespace tds::sqlite

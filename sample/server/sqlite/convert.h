#pragma once

// Values between the literals a client sends, what the SQLite file keeps, and what the
// server returns, by the column's Adaptive Server type.
//
// Kept in the file: integer types and bit as INTEGER; float/real as REAL; numeric,
// decimal, money and smallmoney as INTEGER when the value is whole, else as the exact
// decimal text in a BLOB (a BLOB is never turned into a REAL by SQLite's column affinity);
// dates and times as their canonical text; strings as TEXT without trailing blanks;
// binary types as BLOB.

#include "../backend.h"
#include "statements.h"

#include <optional>
#include <sqlite3.h>
#include <string>

namespace tds::sqlite {

// A SQLite value's text, as many bytes as it holds (empty for NULL).
inline std::string valueText(sqlite3_value* v) {
    const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
    return std::string(p ? p : "", std::size_t(sqlite3_value_bytes(v)));
}

struct Stored {
    enum Kind { Null, Integer, Real, Text, Blob } kind = Null;
    std::int64_t integer = 0;
    double real = 0;
    std::string bytes; // Text, Blob
};

struct Converted {
    Stored value;
    std::optional<Message> error;
    // Comparing only: the literal cannot equal any value of the column (it has more
    // scale or more digits than the column holds).
    bool neverEqual = false;
};

// `literal` as column `column` takes it in an assignment (SET, VALUES): a string longer
// than the column is cut, its length counted in bytes of the server's character set.
Converted toStored(const Literal& literal, const ColumnInfo& column, Charset charset);
// `literal` as the other side of a comparison with column `column`.
Converted toCompared(const Literal& literal, const ColumnInfo& column);

// Columns whose stored forms are compared through canonicalSql() rather than directly.
bool comparesCanonically(const ColumnInfo& column);
// The canonical text of a stored value of `column`, for comparing (the `qv_canon` SQL
// function does the same in SQL); nullopt for NULL.
std::optional<std::string> canonicalText(sqlite3_value* stored, const ColumnInfo& column);
// Registers qv_canon(value, type, scale) on `db`.
void registerCanonicalFunction(sqlite3* db);

void bind(sqlite3_stmt* statement, int index, const Stored& value);

// Column `index` of the current row, as the server returns it (char(n) padded to n bytes
// of the server's character set).
Value readValue(sqlite3_stmt* statement, int index, const ColumnInfo& column, Charset charset);

} // namespace tds::sqlite

#pragma once

// Keys by which the grid sorts a column's values: bytes that compare (as unsigned bytes,
// shorter first) the way the values compare by the column's type. NULL goes before every
// value; exact numbers compare exactly as decimals, whatever their digits; approximate
// numbers as numbers; dates and times as the moments they name; texts by their bytes
// (code point order) without trailing blanks, as Adaptive Server compares them; binary
// values by their bytes. A value that does not read as its type goes after the others.

#include "db/read/resulttable.h"

#include <QString>
#include <string>

namespace db {

enum class SortKind { Text, Decimal, Approximate, Moment, Bytes };

SortKind sortKindOf(const db::ColumnInfo& column, const QString& typeName);

// Texts longer than this are keyed by their first bytes (see appendSortKey).
inline constexpr std::size_t kSortKeyLimit = 512;

// Appends the key of one stored cell. Answers false when the key was cut at `limit`
// bytes: two cut keys that are equal say nothing about the whole values.
bool appendSortKey(SortKind kind, const db::ResultTable& rows, int row, int column,
                   std::string& key, std::size_t limit = kSortKeyLimit);

} // namespace db

#pragma once

// Finding a row as the grid shows it, inside a write's transaction: the WHERE that finds
// it by its locator (tablekeys.h) and by every value the grid shows that the server can
// compare; the checks that exactly one row answers and holds what the grid shows, that
// the server kept the value written, and, in a table without a key, that no other row
// stands in for the one written. Values are read through the write's context, so while a
// write is under way they come from its own copy of the rows.

#include "db/write/writecontext.h"

#include <optional>

namespace db {

class WriteTransaction;

// " WHERE " or " AND ", then `column` holding `value` (NULL included).
void appendCondition(const WriteContext& context, BoundQuery& query, bool& first, int column,
                     const CellValue& value);
// " WHERE ..." finding the row as the grid shows it: by its locator, the edited column and
// the row version; with `column` -1, by every comparable column.
void appendShownRow(const WriteContext& context, BoundQuery& query, int row, int column);
// " WHERE ..." by the locator alone, with `column` holding `value`.
bool appendLocator(const WriteContext& context, BoundQuery& query, int row, int column,
                   const CellValue& value);

// The first column whose value differs between the grid's row and `found`; -1 if none.
int firstDifference(const WriteContext& context, int row, const RowValues& found);
QString changedMessage(const WriteContext& context, int row, const RowValues& found, int differs);

// Exactly one row holds what the grid shows; otherwise why not (the context's shown row
// then holds the row found changed, when one was).
CellWriteResult checkShownRow(WriteContext& context, WriteTransaction& transaction, int row,
                              int column);
// After an update: the row holds `typed` in `column` (it is then the shown row).
CellWriteResult checkKept(WriteContext& context, WriteTransaction& transaction, int row, int column,
                          const CellValue& original, const CellValue& typed);
// The rows that hold the edited row's values with `column` holding `value`, in a table
// without a key: the write must make exactly one more of them, else another row would
// stand in for the one written.
std::optional<long long> countAlike(const WriteContext& context, WriteTransaction& transaction,
                                    int row, int column, const CellValue& value);
// After an update of a row of a table without a key: the rows holding its new values must
// be `before` and this one row, else the row written cannot be told apart.
CellWriteResult checkAlike(WriteContext& context, WriteTransaction& transaction, int row,
                           int column, const CellValue& typed, long long before);

} // namespace db

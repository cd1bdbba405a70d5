#pragma once

// Deletes stored rows of a recordset from its table in one transaction, all or nothing.
// Each row is found as an edit finds it, by its locator and every value the grid shows
// that the server can compare: exactly one row must answer, holding what the grid shows,
// or nothing is deleted (twin rows of a key-less table are refused). After its DELETE
// the row is looked for again and must be gone. Counts the server reports decide
// nothing (a trigger's count may stand in for the statement's own). The stored rows stay
// where they are: the grid hides the deleted ones.

#include "db/write/rowwriter.h"

#include <vector>

namespace db {

// Why rows cannot be deleted when the login lacks delete permission on the table.
inline const QString kNoDeleteReason =
    QStringLiteral("Rows cannot be deleted: this login has no delete permission on this table.");

class RowDeleter {
  public:
    explicit RowDeleter(RowWriter& writer) : writer_(writer) {}

    // Checks the rows and keeps a copy of them, on the thread that owns the rows.
    // `rowNames` (one per row, may be empty) name them in messages ("row 12").
    CellWriteResult begin(const std::vector<int>& rows, const std::vector<QString>& rowNames = {});
    bool pending() const { return !names_.empty(); }
    // Talks to the server using only that copy (any thread). Written: `deleted` lists
    // the rows. Otherwise the refused row shows what the table holds, once applied.
    CellWriteResult finish();
    void apply(CellWriteResult& result) { writer_.apply(result); }
    CellWriteResult remove(const std::vector<int>& rows);

    // The DELETE sent for a stored row.
    BoundQuery deleteStatement(int row) const;

  private:
    RowWriter& writer_;
    std::vector<QString> names_;
};

} // namespace db

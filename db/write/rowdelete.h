#pragma once

// Deletes stored rows of a recordset from its table in one transaction, all or nothing.
// Each row is found as an edit finds it, by its locator and every value the grid shows
// that the server can compare: exactly one row must answer, holding what the grid shows,
// or nothing is deleted. Twin rows of a key-less table (rows holding the same values) go
// together or not at all: when every twin the grid shows is selected, exactly as many rows
// must hold those values in the table, else nothing is deleted. After its DELETE the row
// is looked for again and must be gone. Counts the server reports decide
// nothing (a trigger's count may stand in for the statement's own). The stored rows stay
// where they are: the grid hides the deleted ones.

#include "db/write/rowwriter.h"

#include <vector>

namespace db {

// Why rows cannot be deleted when the login lacks delete permission on the table.
inline const QString kNoDeleteReason =
    QStringLiteral("Rows cannot be deleted: this login has no delete permission on this table.");

class RowDeleter : public WriteJob {
  public:
    explicit RowDeleter(RowWriter& writer) : writer_(writer) {}

    // Checks the rows and keeps a copy of them, on the thread that owns the rows.
    // `rowNames` (one per row, may be empty) name them in messages ("row 12"); `shownAlike`
    // (one per row, may be empty) counts the rows the grid shows holding each row's values
    // (itself included): twins are deleted only when all of them are among `rows`.
    CellWriteResult begin(const std::vector<int>& rows, const std::vector<QString>& rowNames = {},
                          const std::vector<int>& shownAlike = {});
    bool pending() const override { return !names_.empty(); }
    // Talks to the server using only that copy (any thread). Written: `deleted` lists
    // the rows. Otherwise the refused row shows what the table holds, once applied.
    CellWriteResult finish() override;
    void apply(CellWriteResult& result) override { writer_.apply(result); }
    CellWriteResult remove(const std::vector<int>& rows);

    // The DELETE sent for a stored row.
    BoundQuery deleteStatement(int row) const;

  private:
    // Deletes the `twins` rows holding the values of copied row `row`, found as it is.
    CellWriteResult removeRow(WriteTransaction& transaction, int row, int twins);

    RowWriter& writer_;
    std::vector<QString> names_;
    // Per copied row: how many rows holding its values it deletes (1: itself alone; 0: a
    // twin deleted with an earlier one).
    std::vector<int> twins_;
};

} // namespace db

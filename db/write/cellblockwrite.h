#pragma once

// Writes many cells of a recordset's rows in one transaction, all or nothing (a paste, or
// taking back an earlier write). Every value is checked against its column before
// anything is sent; then each cell is written as a single edit is (the row found as the
// grid shows it, updated, read back holding the value), and the first refusal rolls
// back every cell. A cell may come with the value it must hold before the write: the
// block is then refused when the stored rows show anything else (an earlier write taken
// back only while the table still holds what it wrote).

#include "db/write/rowwriter.h"

#include <map>
#include <vector>

namespace db {

struct CellChange {
    int row = 0; // stored row
    int column = 0;
    CellValue value;
    // What the cell must hold now, when set.
    std::optional<CellValue> expected;
    // How a message names the row ("row 12"); empty: by its place in the stored rows.
    QString rowName;
};

class CellBlockWriter : public WriteJob {
  public:
    explicit CellBlockWriter(RowWriter& writer) : writer_(writer) {}

    // For taking an earlier write back: each stored row as that program's last write left
    // it. The block then goes on only while the table holds exactly those rows, in every
    // column, whatever the grid shows of them now (a refusal showed someone else's
    // change; their reversal lets the block go on). Set before `begin`.
    void setRowsAsWritten(std::map<int, RowValues> rows) { asWritten_ = std::move(rows); }

    // Checks every cell and keeps a copy of their rows, on the thread that owns the rows;
    // `pending` then tells whether the server must be asked.
    CellWriteResult begin(std::vector<CellChange> cells);
    bool pending() const override { return !cells_.empty(); }
    // Talks to the server using only that copy (any thread).
    CellWriteResult finish() override;
    // Shows what the table holds now, on the thread that owns the rows.
    void apply(CellWriteResult& result) override { writer_.apply(result); }
    // All three in turn.
    CellWriteResult write(std::vector<CellChange> cells);

  private:
    struct Cell {
        int copy; // row in the writer's copy
        int column;
        CellValue value;
        QString rowName;
    };
    QString cellName(const CellChange& cell) const;

    RowWriter& writer_;
    std::vector<Cell> cells_;
    std::map<int, RowValues> asWritten_;
};

} // namespace db

#pragma once

// The grid's history of committed writes, for undo and redo. A step is one cell edit or
// one block (a paste, cells set to NULL): each of its cells with the value the table held
// before and after. The history also keeps each row as this program's last write left it.
// Taking a step back writes the earlier values as one block (cellblockwrite.h) that goes
// on only while the table holds those rows exactly, in every column: when someone else
// changed any of them since, it is refused and the step stays, until the row is again as
// written. A new step clears what could be redone. Added and deleted rows are not steps.

#include "db/write/cellblockwrite.h"

#include <functional>
#include <map>
#include <vector>

namespace db {
class ResultTable;
}

namespace model {

struct UndoCell {
    int storedRow = 0;
    int column = 0;
    db::CellValue before;
    db::CellValue after;
};
using UndoStep = std::vector<UndoCell>;

class UndoStack {
  public:
    void push(UndoStep step);
    void clear();
    bool canUndo() const { return !undo_.empty(); }
    bool canRedo() const { return !redo_.empty(); }

    // The cells that take the last step back (or do the next one again): each expects
    // the value the step left (or the one it found), named by `rowName`.
    std::vector<db::CellChange> undoChanges(const std::function<QString(int)>& rowName) const;
    std::vector<db::CellChange> redoChanges(const std::function<QString(int)>& rowName) const;
    // After the block was written: the step moves to the other side, holding the values
    // the table holds now (as read back into `rows`).
    void undone(const db::ResultTable& rows);
    void redone(const db::ResultTable& rows);
    // This program wrote these stored rows: they hold what `rows` holds now.
    void wrote(const db::ResultTable& rows, const std::vector<int>& storedRows);
    // The rows the last step (or the next one to redo) touches, as last written.
    std::map<int, db::RowValues> rowsAsWritten(bool back) const;

  private:
    static std::vector<db::CellChange> changes(const UndoStep& step, bool back,
                                               const std::function<QString(int)>& rowName);
    std::vector<UndoStep> undo_;
    std::vector<UndoStep> redo_;
    std::map<int, db::RowValues> written_; // stored row: as last written
};

} // namespace model

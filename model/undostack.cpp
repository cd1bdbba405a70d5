#include "model/undostack.h"

#include "db/read/resulttable.h"
#include "db/values/valuerules.h"

namespace model {

void UndoStack::push(UndoStep step) {
    if (step.empty())
        return;
    undo_.push_back(std::move(step));
    redo_.clear();
}

void UndoStack::clear() {
    undo_.clear();
    redo_.clear();
    written_.clear();
}

void UndoStack::wrote(const db::ResultTable& rows, const std::vector<int>& storedRows) {
    for (int row : storedRows) {
        db::RowValues values;
        for (int c = 0; c < rows.columnCount(); ++c)
            values.push_back(db::storedValue(rows, row, c));
        written_[row] = std::move(values);
    }
}

std::map<int, db::RowValues> UndoStack::rowsAsWritten(bool back) const {
    std::map<int, db::RowValues> rows;
    const std::vector<UndoStep>& side = back ? undo_ : redo_;
    if (side.empty())
        return rows;
    for (const UndoCell& cell : side.back())
        if (const auto found = written_.find(cell.storedRow); found != written_.end())
            rows.insert(*found);
    return rows;
}

std::vector<db::CellChange> UndoStack::changes(const UndoStep& step, bool back,
                                               const std::function<QString(int)>& rowName) {
    std::vector<db::CellChange> out;
    // Back in the reverse order, so a cell written twice ends as it first was.
    for (std::size_t i = 0; i < step.size(); ++i) {
        const UndoCell& cell = back ? step[step.size() - 1 - i] : step[i];
        out.push_back({cell.storedRow, cell.column, back ? cell.before : cell.after,
                       back ? cell.after : cell.before,
                       rowName ? rowName(cell.storedRow) : QString()});
    }
    return out;
}

std::vector<db::CellChange>
UndoStack::undoChanges(const std::function<QString(int)>& rowName) const {
    return undo_.empty() ? std::vector<db::CellChange>{} : changes(undo_.back(), true, rowName);
}

std::vector<db::CellChange>
UndoStack::redoChanges(const std::function<QString(int)>& rowName) const {
    return redo_.empty() ? std::vector<db::CellChange>{} : changes(redo_.back(), false, rowName);
}

namespace {

// Moves the last step of `from` to `to`, its `side` refreshed from what the table now holds.
void moveStep(std::vector<UndoStep>& from, std::vector<UndoStep>& to, db::CellValue UndoCell::*side,
              const db::ResultTable& rows) {
    if (from.empty())
        return;
    UndoStep step = std::move(from.back());
    from.pop_back();
    for (UndoCell& cell : step)
        cell.*side = db::storedValue(rows, cell.storedRow, cell.column);
    to.push_back(std::move(step));
}

} // namespace

void UndoStack::undone(const db::ResultTable& rows) {
    moveStep(undo_, redo_, &UndoCell::before, rows);
}

void UndoStack::redone(const db::ResultTable& rows) {
    moveStep(redo_, undo_, &UndoCell::after, rows);
}

} // namespace model

#include "model/undostack.h"

#include "db/read/resulttable.h"

namespace model {
namespace {

db::CellValue storedValue(const db::ResultTable& rows, int row, int column) {
    if (rows.isNull(row, column))
        return std::nullopt;
    return std::string(rows.bytes(row, column));
}

} // namespace

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
            values.push_back(storedValue(rows, row, c));
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

void UndoStack::undone(const db::ResultTable& rows) {
    if (undo_.empty())
        return;
    UndoStep step = std::move(undo_.back());
    undo_.pop_back();
    for (UndoCell& cell : step)
        cell.before = storedValue(rows, cell.storedRow, cell.column);
    redo_.push_back(std::move(step));
}

void UndoStack::redone(const db::ResultTable& rows) {
    if (redo_.empty())
        return;
    UndoStep step = std::move(redo_.back());
    redo_.pop_back();
    for (UndoCell& cell : step)
        cell.after = storedValue(rows, cell.storedRow, cell.column);
    undo_.push_back(std::move(step));
}

} // namespace model

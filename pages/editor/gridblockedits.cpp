// The grid's edits of whole rows and blocks: delete, paste, undo and redo.

#include "app/mainmodule.h"
#include "db/recordset.h"
#include "db/rowdelete.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/gridcopy.h"
#include "pages/editor/gridedits.h"
#include "pages/editor/newrowline.h"
#include "pages/editor/pastetext.h"
#include "pages/editor/recordsetmodel.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>
#include <sqlext.h>

#include <set>

namespace pages {
namespace {

bool isCharacterType(short type) {
    return type == SQL_CHAR || type == SQL_VARCHAR || type == SQL_LONGVARCHAR ||
           type == SQL_WCHAR || type == SQL_WVARCHAR || type == SQL_WLONGVARCHAR;
}

db::CellValue storedValue(const db::ResultTable& rows, int row, int column) {
    if (rows.isNull(row, column))
        return std::nullopt;
    return std::string(rows.bytes(row, column));
}

// The stored rows a write named, before applying it takes them over.
std::vector<int> rowsOf(const db::CellWriteResult& result) {
    std::vector<int> rows;
    for (const auto& [row, values] : result.rows)
        rows.push_back(row);
    if (result.row)
        rows.push_back(result.row->first);
    return rows;
}

} // namespace

void GridEdits::deleteRows() {
    if (!model_ || busy_)
        return;
    // 1. The selected stored rows (the current one when none is selected).
    std::set<int> views;
    for (const QModelIndex& index : grid_->selectionModel()->selectedIndexes())
        views.insert(index.row());
    if (views.empty() && grid_->currentIndex().isValid())
        views.insert(grid_->currentIndex().row());
    std::vector<int> rows;
    std::vector<QString> names;
    for (int view : views)
        if (const int stored = model_->storedRow(view); stored >= 0) {
            rows.push_back(stored);
            names.push_back(QStringLiteral("row %1").arg(view + 1));
        }
    if (rows.empty())
        return;
    // 2. The user's word.
    const QString question =
        rows.size() == 1 ? QStringLiteral("Delete 1 row from the table?")
                         : QStringLiteral("Delete %1 rows from the table?").arg(rows.size());
    if (!confirm_(grid_->window(), question))
        return;
    // 3. One transaction, while the window repaints.
    busy_ = true;
    db::RowDeleter deleter(model_->rowWriter());
    db::CellWriteResult result = deleter.begin(rows, names);
    if (deleter.pending())
        result = model_->runWrite([&deleter] { return deleter.finish(); });
    const std::vector<int> reread = rowsOf(result);
    deleter.apply(result);
    busy_ = false;
    // 4. The deleted rows leave the view; a refused delete shows what the table holds.
    model_->storedRowsChanged(reread);
    if (result.status == db::WriteStatus::Written)
        model_->hideStoredRows(result.deleted);
    else
        refused(result.message);
}

void GridEdits::paste() {
    if (!model_ || busy_)
        return;
    const CellBlock block = parseCellBlock(QGuiApplication::clipboard()->text());
    const QModelIndex at = grid_->currentIndex();
    if (block.empty() || !at.isValid())
        return;
    // 1. Onto the new-row line: its values, written when the line is left.
    const int line = newRowLineRow();
    if (at.row() == line) {
        if (block.size() > 1)
            return refused(QStringLiteral("Nothing was pasted: the new-row line takes one row "
                                          "at a time, and the clipboard holds %1.")
                               .arg(block.size()));
        for (std::size_t c = 0; c < block[0].size(); ++c)
            model_->setData(model_->index(line, at.column() + int(c)), block[0][c]);
        return;
    }
    // 2. The block must fit below and to the right of the current cell.
    const int shownRows = model_->shownRows();
    std::size_t widest = 0;
    for (const auto& row : block)
        widest = std::max(widest, row.size());
    if (at.row() + int(block.size()) > shownRows)
        return refused(QStringLiteral("Nothing was pasted: the clipboard holds %1 rows, and only "
                                      "%2 rows lie from the current one down.")
                           .arg(block.size())
                           .arg(shownRows - at.row()));
    if (at.column() + int(widest) > model_->columnCount())
        return refused(QStringLiteral("Nothing was pasted: the clipboard holds %1 columns, and "
                                      "only %2 columns lie from the current one to the right.")
                           .arg(widest)
                           .arg(model_->columnCount() - at.column()));
    // 3. The cells: the word copies give NULL is NULL; an empty cell is empty text in a
    // text column, else NULL.
    const QString nullWord = copyNullWord();
    std::vector<db::CellChange> cells;
    for (std::size_t r = 0; r < block.size(); ++r)
        for (std::size_t c = 0; c < block[r].size(); ++c) {
            const int row = model_->storedRow(at.row() + int(r));
            const int column = at.column() + int(c);
            const short type = model_->rowWriter().columnType(column).info.sqlType;
            const QString& text = block[r][c];
            db::CellValue value;
            if ((!text.isEmpty() || isCharacterType(type)) &&
                (nullWord.isEmpty() || text != nullWord))
                value = text.toUtf8().toStdString();
            cells.push_back({row, column, value, std::nullopt,
                             QStringLiteral("row %1").arg(at.row() + int(r) + 1)});
        }
    writeBlock(cells, false, false);
}

void GridEdits::undo() {
    writeHistory(true);
}

void GridEdits::redo() {
    writeHistory(false);
}

void GridEdits::writeHistory(bool back) {
    if (!model_ || busy_ || !(back ? history_.canUndo() : history_.canRedo()))
        return;
    const auto name = [this](int stored) { return rowName(stored); };
    writeBlock(back ? history_.undoChanges(name) : history_.redoChanges(name), true, back);
}

void GridEdits::writeBlock(const std::vector<db::CellChange>& cells, bool fromHistory, bool back) {
    busy_ = true;
    db::CellBlockWriter writer(model_->rowWriter());
    const db::ResultTable& rows = model_->rowWriter().data()->rows;
    UndoStep step;
    for (const db::CellChange& cell : cells)
        step.push_back({cell.row, cell.column, storedValue(rows, cell.row, cell.column), {}});
    db::CellWriteResult result = writer.begin(cells);
    if (writer.pending())
        result = model_->runWrite([&writer] { return writer.finish(); });
    const std::vector<int> reread = rowsOf(result);
    writer.apply(result);
    busy_ = false;
    model_->storedRowsChanged(reread);
    if (result.status != db::WriteStatus::Written) {
        const QString what = !fromHistory ? QStringLiteral("The paste was refused.")
                             : back       ? QStringLiteral("The undo was refused.")
                                          : QStringLiteral("The redo was refused.");
        refused(what + QStringLiteral("\n\n") + result.message);
        return;
    }
    if (fromHistory) {
        back ? history_.undone(rows) : history_.redone(rows);
    } else {
        UndoStep changed;
        for (UndoCell& cell : step) {
            cell.after = storedValue(rows, cell.storedRow, cell.column);
            if (cell.after != cell.before)
                changed.push_back(std::move(cell));
        }
        history_.push(std::move(changed));
    }
    updateActions();
}

} // namespace pages

// The grid's edits of whole rows and blocks: delete, paste, undo and redo.

#include "app/mainmodule.h"
#include "db/read/recordset.h"
#include "db/values/sqltypes.h"
#include "db/values/valuerules.h"
#include "db/write/rowdelete.h"
#include "db/write/rowinsert.h"
#include "db/write/tablekeys.h"
#include "model/gridcopy.h"
#include "model/newrowline.h"
#include "model/pastetext.h"
#include "model/recordsetmodel.h"
#include "pages/editor/copynull.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/gridedits.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QItemSelectionModel>

#include <algorithm>
#include <set>

namespace pages {

void GridEdits::deleteRows() {
    if (!writable())
        return;
    // 1. The selected stored rows (the current one when none is selected).
    std::set<int> views;
    for (const QModelIndex& index : grid_->selectionModel()->selectedIndexes())
        views.insert(index.row());
    if (views.empty() && grid_->currentIndex().isValid())
        views.insert(grid_->currentIndex().row());
    std::vector<int> rows;
    std::vector<QString> names;
    std::vector<int> twins; // the rows shown holding each one's values
    for (int view : views)
        if (const int stored = model_->storedRow(view); stored >= 0) {
            rows.push_back(stored);
            names.push_back(QStringLiteral("row %1").arg(view + 1));
            twins.push_back(model_->twinCount(stored));
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
    const db::CellWriteResult result =
        db::complete(deleter, deleter.begin(rows, names, twins), model_->writeRunner());
    busy_ = false;
    // 4. The deleted rows leave the view; a refused delete shows what the table holds.
    model_->storedRowsChanged(result.replaced);
    if (result.status == db::WriteStatus::Written)
        model_->hideStoredRows(result.deleted);
    else
        refused(result.message);
}

QModelIndexList GridEdits::selectedCells() const {
    QModelIndexList cells = grid_->selectionModel()->selectedIndexes();
    if (cells.isEmpty() && grid_->currentIndex().isValid())
        cells.push_back(grid_->currentIndex());
    return cells;
}

db::CellValue GridEdits::pastedValue(const model::PastedCell& cell, int column) const {
    // The word copies give NULL, unquoted, is NULL; an empty cell is empty text in a text
    // column, else NULL; anything else is the text as it stands.
    const QString nullWord = copyNullWord();
    if (!cell.quoted && !nullWord.isEmpty() && cell.text == nullWord)
        return std::nullopt;
    const short type = model_->rowWriter().columnType(column).info.sqlType;
    if (cell.text.isEmpty() && !db::sqltypes::isCharacter(type))
        return std::nullopt;
    return cell.text.toUtf8().toStdString();
}

void GridEdits::paste() {
    if (!writable())
        return;
    const model::CellBlock block = model::parseCellBlock(QGuiApplication::clipboard()->text());
    // 1. From the top-left cell of the selection (the current cell when none).
    const QModelIndexList selected = selectedCells();
    if (block.empty() || selected.isEmpty())
        return;
    int top = selected.front().row(), left = selected.front().column();
    for (const QModelIndex& index : selected) {
        top = std::min(top, index.row());
        left = std::min(left, index.column());
    }
    // 2. One value over several selected cells fills each of them.
    if (block.size() == 1 && block[0].size() == 1 && selected.size() > 1)
        return writeSelected(selected, block[0][0], WriteKind::Paste);
    // 3. Onto the new-row line: rows to add.
    const int line = newRowLineRow();
    if (top == line)
        return pasteNewRows(block, left);
    // 4. The block must fit below and to the right of the top-left cell.
    const int shownRows = model_->shownRows();
    std::size_t widest = 0;
    for (const auto& row : block)
        widest = std::max(widest, row.size());
    if (top + int(block.size()) > shownRows)
        return refused(QStringLiteral("Nothing was pasted: the clipboard holds %1 rows, and only "
                                      "%2 rows lie from the current one down.")
                           .arg(block.size())
                           .arg(shownRows - top));
    if (left + int(widest) > model_->columnCount())
        return refused(QStringLiteral("Nothing was pasted: the clipboard holds %1 columns, and "
                                      "only %2 columns lie from the current one to the right.")
                           .arg(widest)
                           .arg(model_->columnCount() - left));
    // 5. The cells, written in one transaction.
    std::vector<db::CellChange> cells;
    for (std::size_t r = 0; r < block.size(); ++r)
        for (std::size_t c = 0; c < block[r].size(); ++c) {
            const int column = left + int(c);
            cells.push_back({model_->storedRow(top + int(r)), column,
                             pastedValue(block[r][c], column), std::nullopt,
                             QStringLiteral("row %1").arg(top + int(r) + 1)});
        }
    writeBlock(cells, WriteKind::Paste);
}

void GridEdits::pasteNewRows(const model::CellBlock& block, int left) {
    // 1. Every row must fit the columns a new row takes, from the current one on.
    std::size_t widest = 0;
    for (const auto& row : block)
        widest = std::max(widest, row.size());
    if (left + int(widest) > model_->columnCount())
        return refused(QStringLiteral("Nothing was pasted: the clipboard holds %1 columns, and "
                                      "only %2 columns lie from the current one to the right.")
                           .arg(widest)
                           .arg(model_->columnCount() - left));
    for (std::size_t c = 0; c < widest; ++c)
        if (const QString why = inserter_->columnReason(left + int(c)); !why.isEmpty())
            return refused(
                QStringLiteral("Nothing was pasted: a new row takes no value in "
                               "column %1. %2")
                    .arg(model_->headerData(left + int(c), Qt::Horizontal).toString(), why));
    std::vector<db::NewRowValues> rows;
    std::vector<QString> names;
    for (std::size_t r = 0; r < block.size(); ++r) {
        db::NewRowValues values(std::size_t(model_->columnCount()));
        for (std::size_t c = 0; c < block[r].size(); ++c)
            values[std::size_t(left) + c] = pastedValue(block[r][c], left + int(c));
        rows.push_back(std::move(values));
        names.push_back(QStringLiteral("pasted row %1").arg(r + 1));
    }
    // 2. One row fills the line, written when the line is left.
    const int line = newRowLineRow();
    if (rows.size() == 1) {
        for (std::size_t c = 0; c < widest; ++c) {
            const db::CellValue& value = *rows[0][std::size_t(left) + c];
            model_->setData(model_->index(line, left + int(c)),
                            value ? QVariant(QString::fromStdString(*value)) : QVariant());
        }
        return;
    }
    // 3. Several are added at once, in one transaction: all or none.
    busy_ = true;
    db::RowInserter inserter(model_->rowWriter());
    const db::CellWriteResult result =
        db::complete(inserter, inserter.beginRows(rows, names), model_->writeRunner());
    busy_ = false;
    if (result.status != db::WriteStatus::Written)
        return refused(QStringLiteral("The paste was refused.\n\n") + result.message);
    model_->showAppendedRows(result.appendedRows);
    grid_->showNoticeText(result.message);
}

void GridEdits::setSelectionNull() {
    if (!writable())
        return;
    writeSelected(selectedCells(), model::PastedCell{}, WriteKind::SetNull);
}

void GridEdits::writeSelected(const QModelIndexList& selected, const model::PastedCell& value,
                              WriteKind kind) {
    std::vector<db::CellChange> cells;
    for (const QModelIndex& index : selected) {
        const int stored = model_->storedRow(index.row());
        if (stored < 0)
            return refused(QStringLiteral("Nothing was written: the selection takes in the "
                                          "new-row line."));
        cells.push_back(
            {stored, index.column(),
             kind == WriteKind::SetNull ? db::CellValue() : pastedValue(value, index.column()),
             std::nullopt, QStringLiteral("row %1").arg(index.row() + 1)});
    }
    // In the order shown: top to bottom, left to right.
    std::sort(cells.begin(), cells.end(), [this](const db::CellChange& a, const db::CellChange& b) {
        const int ra = model_->viewRow(a.row), rb = model_->viewRow(b.row);
        return ra != rb ? ra < rb : a.column < b.column;
    });
    writeBlock(cells, kind);
}

void GridEdits::undo() {
    writeHistory(true);
}

void GridEdits::redo() {
    writeHistory(false);
}

void GridEdits::writeHistory(bool back) {
    if (!writable() || !(back ? history_.canUndo() : history_.canRedo()))
        return;
    const auto name = [this](int stored) { return rowName(stored); };
    const std::vector<db::CellChange> cells =
        back ? history_.undoChanges(name) : history_.redoChanges(name);
    // Only rows the grid still shows: a deleted row is gone, whatever holds its values now.
    for (const db::CellChange& cell : cells)
        if (model_->viewRow(cell.row) < 0)
            return refused((back ? QStringLiteral("The undo was refused.")
                                 : QStringLiteral("The redo was refused.")) +
                           QStringLiteral("\n\nA row it would change was deleted from the "
                                          "table and is no longer shown."));
    writeBlock(cells, back ? WriteKind::Undo : WriteKind::Redo);
}

void GridEdits::writeBlock(const std::vector<db::CellChange>& cells, WriteKind kind) {
    const bool fromHistory = kind == WriteKind::Undo || kind == WriteKind::Redo;
    const bool back = kind == WriteKind::Undo;
    busy_ = true;
    db::CellBlockWriter writer(model_->rowWriter());
    if (fromHistory)
        writer.setRowsAsWritten(history_.rowsAsWritten(back));
    const db::ResultTable& rows = model_->rowWriter().data()->rows;
    model::UndoStep step;
    for (const db::CellChange& cell : cells)
        step.push_back({cell.row, cell.column, db::storedValue(rows, cell.row, cell.column), {}});
    const db::CellWriteResult result =
        db::complete(writer, writer.begin(cells), model_->writeRunner());
    busy_ = false;
    model_->storedRowsChanged(result.replaced);
    if (result.status != db::WriteStatus::Written) {
        const QString what = kind == WriteKind::Paste ? QStringLiteral("The paste was refused.")
                             : kind == WriteKind::SetNull
                                 ? QStringLiteral("Nothing was set to NULL.")
                             : back ? QStringLiteral("The undo was refused.")
                                    : QStringLiteral("The redo was refused.");
        refused(what + QStringLiteral("\n\n") + result.message);
        return;
    }
    std::vector<int> written;
    for (const db::CellChange& cell : cells)
        written.push_back(cell.row);
    history_.wrote(rows, written);
    if (fromHistory) {
        back ? history_.undone(rows) : history_.redone(rows);
    } else {
        model::UndoStep changed;
        for (model::UndoCell& cell : step) {
            cell.after = db::storedValue(rows, cell.storedRow, cell.column);
            if (cell.after != cell.before)
                changed.push_back(std::move(cell));
        }
        history_.push(std::move(changed));
    }
    updateActions();
}

} // namespace pages

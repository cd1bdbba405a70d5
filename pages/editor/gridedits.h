#pragma once

// The grid's own edits beyond a single cell: the new-row line and its INSERT, deleting
// the selected rows, pasting a block of cells, and undo and redo of committed cell edits
// and pastes. Each brings its action (with its shortcut) to the grid's context menu;
// every write runs through the model's write runner, so none blocks the window. Messages
// go through the platform's message box and the grid's notice band; the question before
// a delete goes through a seam that tests answer.

#include "model/pastetext.h"
#include "model/undostack.h"

#include <QModelIndex>
#include <QModelIndexList>
#include <QObject>
#include <functional>
#include <memory>

class QAction;

namespace db {
class RowInserter;
}

namespace model {
class NewRowLine;
class RecordsetModel;
} // namespace model

namespace pages {

class DataGrid;

class GridEdits : public QObject {
    Q_OBJECT
  public:
    explicit GridEdits(DataGrid* grid);
    ~GridEdits() override;

    // The grid's rows changed (bound, rebound, unbound): a fresh new-row line, and the
    // history ends.
    void bind(model::RecordsetModel* model);
    // Leaving the new-row line writes it.
    void currentChanged(const QModelIndex& current, const QModelIndex& previous);

    // Writes the new-row line's values as one INSERT; false when it was refused (the
    // typed values stay, and the notice band says why).
    bool commitNewRow();
    void dropNewRow();
    void addRow();
    void deleteRows();
    // Pastes the clipboard's block from the top-left selected cell; one value fills every
    // selected cell; several rows pasted on the new-row line are added at once.
    void paste();
    // Sets every selected cell to NULL, in one transaction.
    void setSelectionNull();
    void undo();
    void redo();

    // A row typed in the new-row line and not added (yet).
    bool hasTypedRow() const;
    // The question before a typed row is given up (Esc, leaving the page).
    static const QString DiscardQuestion;
    bool confirm(const QString& question) const;

    // Asks the user a yes-or-no question (by default in a message box, No the default).
    using Confirm = std::function<bool(QWidget* parent, const QString& question)>;
    void setConfirm(Confirm confirm) { confirm_ = std::move(confirm); }
    const model::UndoStack& history() const { return history_; }
    // The view row of the new-row line; -1 when there is none.
    int newRowLineRow() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void startLine();
    QAction* addAction(const QString& text, const QString& name, const QList<QKeySequence>& keys,
                       void (GridEdits::*slot)());
    void refused(const QString& message);
    QString rowName(int storedRow) const;
    void writeHistory(bool back);
    enum class WriteKind { Paste, SetNull, Undo, Redo };
    // Writes a block of cells in one transaction; a paste or NULLs become a step of the
    // history, a step taken back (or again) moves to the other side.
    void writeBlock(const std::vector<db::CellChange>& cells, WriteKind kind);
    // The selected cells; the current one when none is selected.
    QModelIndexList selectedCells() const;
    // What a pasted cell writes into a column.
    db::CellValue pastedValue(const model::PastedCell& cell, int column) const;
    void pasteNewRows(const model::CellBlock& block, int left);
    void writeSelected(const QModelIndexList& selected, const model::PastedCell& value,
                       WriteKind kind);
    void updateActions();
    bool writable() const;

    DataGrid* grid_;
    model::RecordsetModel* model_ = nullptr;
    std::unique_ptr<db::RowInserter> inserter_;
    std::unique_ptr<model::NewRowLine> line_;
    model::UndoStack history_;
    Confirm confirm_;
    bool busy_ = false;
    QAction* addRow_ = nullptr;
    QAction* deleteRows_ = nullptr;
    QAction* undo_ = nullptr;
    QAction* redo_ = nullptr;
};

} // namespace pages

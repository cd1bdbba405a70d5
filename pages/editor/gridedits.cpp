#include "pages/editor/gridedits.h"

#include "app/mainmodule.h"
#include "app/platform.h"
#include "db/write/rowdelete.h"
#include "db/write/rowinsert.h"
#include "model/newrowline.h"
#include "model/recordsetmodel.h"
#include "pages/editor/datagrid.h"
#include "pages/editor/gridrefresh.h"

#include <QAction>
#include <QKeyEvent>
#include <QMessageBox>

#include <algorithm>

namespace pages {
namespace {

// The safe answer (No) is the default: Enter alone changes nothing.
bool askInBox(QWidget* parent, const QString& question) {
    return QMessageBox::question(parent, app::ApplicationTitle(), question,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

} // namespace

GridEdits::GridEdits(DataGrid* grid) : QObject(grid), grid_(grid), confirm_(askInBox) {
    auto* separator = new QAction(grid);
    separator->setSeparator(true);
    grid->addAction(separator);
    addRow_ = addAction(QStringLiteral("Add Row"), QStringLiteral("AddRowAction"), {Qt::Key_Insert},
                        &GridEdits::addRow);
    deleteRows_ = addAction(QStringLiteral("Delete Rows"), QStringLiteral("DeleteRowsAction"),
                            {Qt::CTRL | Qt::Key_Delete}, &GridEdits::deleteRows);
    addAction(QStringLiteral("Paste"), QStringLiteral("PasteAction"), {QKeySequence::Paste},
              &GridEdits::paste);
    undo_ = addAction(QStringLiteral("Undo"), QStringLiteral("UndoAction"), {QKeySequence::Undo},
                      &GridEdits::undo);
    redo_ = addAction(QStringLiteral("Redo"), QStringLiteral("RedoAction"),
                      {Qt::CTRL | Qt::Key_Y, Qt::CTRL | Qt::SHIFT | Qt::Key_Z}, &GridEdits::redo);
    grid->installEventFilter(this);
    updateActions();
}

GridEdits::~GridEdits() = default;

const QString GridEdits::DiscardQuestion =
    QStringLiteral("The new row you typed was not added to the table. Discard it?");

bool GridEdits::confirm(const QString& question) const {
    return confirm_(grid_->window(), question);
}

bool GridEdits::hasTypedRow() const {
    return line_ && line_->typed();
}

QAction* GridEdits::addAction(const QString& text, const QString& name,
                              const QList<QKeySequence>& keys, void (GridEdits::*slot)()) {
    auto* action = new QAction(text, grid_);
    action->setObjectName(name);
    action->setShortcuts(keys);
    action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    grid_->addAction(action);
    connect(action, &QAction::triggered, this, slot);
    return action;
}

void GridEdits::bind(model::RecordsetModel* model) {
    history_.clear();
    if (model_) {
        model_->setNewRowLine(nullptr);
        disconnect(model_, nullptr, this, nullptr);
    }
    model_ = model;
    line_.reset();
    inserter_.reset();
    updateActions();
    if (!model_ || model_->columnCount() == 0)
        return;
    // Rows still arriving learn their table's keys once the first of them show; the
    // new-row line waits for them.
    if (model_->keysKnown())
        startLine();
    else
        connect(model_, &model::RecordsetModel::keysLearned, this, &GridEdits::startLine,
                Qt::QueuedConnection);
}

void GridEdits::startLine() {
    if (!model_ || line_)
        return;
    inserter_ = std::make_unique<db::RowInserter>(model_->rowWriter());
    line_ = std::make_unique<model::NewRowLine>(*inserter_, model_->columnCount());
    const db::RowWriter& writer = model_->rowWriter();
    if (writer.readOnlyReason().isEmpty() && writer.keys().mayInsert)
        model_->setNewRowLine(line_.get());
    model_->setCellWrittenHandler(
        [this](int row, int column, const db::CellValue& before, const db::CellValue& after) {
            history_.push({{row, column, before, after}});
            history_.wrote(model_->source()->rows, {row});
            updateActions();
        });
    updateActions();
}

int GridEdits::newRowLineRow() const {
    return model_ && model_->newRowLine() ? model_->shownRows() : -1;
}

QString GridEdits::rowName(int storedRow) const {
    const int view = model_ ? model_->viewRow(storedRow) : -1;
    return QStringLiteral("row %1").arg((view >= 0 ? view : storedRow) + 1);
}

bool GridEdits::writable() const {
    // Not while another write runs, nor while the table is read again (the rows shown
    // are about to go).
    return model_ && !busy_ && !grid_->refresher()->waiting();
}

void GridEdits::updateActions() {
    // Rows are added and deleted only as the login may, once the table's rights are known.
    const db::TableKeys* keys = model_ && inserter_ ? &model_->rowWriter().keys() : nullptr;
    addRow_->setEnabled(!keys || keys->mayInsert);
    deleteRows_->setEnabled(!keys || keys->mayDelete);
    addRow_->setToolTip(addRow_->isEnabled() ? QString() : db::kNoInsertReason);
    deleteRows_->setToolTip(deleteRows_->isEnabled() ? QString() : db::kNoDeleteReason);
    undo_->setEnabled(history_.canUndo());
    redo_->setEnabled(history_.canRedo());
}

void GridEdits::refused(const QString& message) {
    app::platform().messageBox(grid_->window(), message, app::kStyleExclamation,
                               app::ApplicationTitle());
}

void GridEdits::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    const int line = newRowLineRow();
    if (line >= 0 && previous.isValid() && previous.row() == line && current.row() != line)
        commitNewRow();
}

bool GridEdits::commitNewRow() {
    if (!model_ || !line_ || !line_->typed() || busy_)
        return true;
    busy_ = true;
    // 1. The values checked; 2. the INSERT and its read-back, while the window repaints.
    const db::CellWriteResult result =
        db::complete(*inserter_, inserter_->begin(line_->values()), model_->writeRunner());
    busy_ = false;
    if (result.status != db::WriteStatus::Written) {
        // 3. Refused: the typed row stays for correction.
        grid_->showNoticeText(result.message);
        return false;
    }
    // 3. The row read back joins the shown rows; the line starts afresh.
    if (result.appendedRow >= 0)
        model_->showAppendedRows({result.appendedRow});
    line_->clear();
    const int line = newRowLineRow();
    emit model_->dataChanged(model_->index(line, 0),
                             model_->index(line, model_->columnCount() - 1));
    grid_->showNoticeText(result.message);
    return true;
}

void GridEdits::dropNewRow() {
    if (!line_ || !model_)
        return;
    line_->clear();
    const int line = newRowLineRow();
    emit model_->dataChanged(model_->index(line, 0),
                             model_->index(line, model_->columnCount() - 1));
    grid_->showNoticeText({});
}

void GridEdits::addRow() {
    const int line = newRowLineRow();
    if (line < 0)
        return;
    int column = std::max(grid_->currentIndex().column(), 0);
    for (int c = 0; c < model_->columnCount(); ++c)
        if (model_->flags(model_->index(line, c)) & Qt::ItemIsEditable) {
            column = c;
            break;
        }
    grid_->setCurrentIndex(model_->index(line, column));
    grid_->scrollTo(grid_->currentIndex());
    grid_->setFocus();
}

bool GridEdits::eventFilter(QObject* watched, QEvent* event) {
    if (watched == grid_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape && !grid_->isEditing() &&
        newRowLineRow() >= 0 && grid_->currentIndex().row() == newRowLineRow() && line_->typed()) {
        if (confirm_(grid_->window(), DiscardQuestion))
            dropNewRow();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace pages

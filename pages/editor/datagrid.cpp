#include "pages/editor/datagrid.h"

#include "app/mainmodule.h"
#include "app/platform.h"
#include "db/read/recordset.h"
#include "model/recordsetmodel.h"
#include "pages/editor/celldelegate.h"
#include "pages/editor/filterbar.h"
#include "pages/editor/findbar.h"
#include "pages/editor/gridedits.h"
#include "pages/editor/gridrefresh.h"
#include "pages/editor/loadband.h"
#include "pages/editor/noticeband.h"
#include "pages/editor/writewait.h"

#include <QAction>
#include <QApplication>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QMenu>
#include <QPainter>
#include <QTimer>
#include <vector>

namespace pages {
namespace {
constexpr int kWidestColumn = 320; // pixels, when sizing columns to their contents
constexpr int kSampledRows = 40;   // rows looked at when sizing columns (a screenful)
constexpr int kWidenSample = 512;  // rows looked at, at most, when rows arrive or change
} // namespace

DataGrid::DataGrid(QWidget* parent) : QTableView(parent) {
    delegate_ = new CellDelegate(this);
    setItemDelegate(delegate_);
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    horizontalHeader()->setResizeContentsPrecision(kSampledRows);
    // A header click sorts (the view's own sorting would sort on every bind).
    QHeaderView* header = horizontalHeader();
    header->setSectionsClickable(true);
    header->setSortIndicatorShown(false);
    disconnect(header, SIGNAL(sectionPressed(int)), this, SLOT(selectColumn(int)));
    disconnect(header, SIGNAL(sectionEntered(int)), this, SLOT(_q_selectColumn(int)));
    connect(header, &QHeaderView::sectionClicked, this, &DataGrid::sortByHeader);

    setNull_ = new QAction(QStringLiteral("Set to NULL"), this);
    setNull_->setObjectName(QStringLiteral("SetNullAction"));
    setNull_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_0));
    setNull_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    setNull_->setEnabled(false);
    addAction(setNull_);
    connect(setNull_, &QAction::triggered, this, &DataGrid::setCurrentCellNull);
    connect(delegate_, &CellDelegate::multiLineWanted, this, &DataGrid::goOnMultiLine,
            Qt::QueuedConnection);

    notice_ = new NoticeBand(this);
    notice_->setObjectName(QStringLiteral("ReadOnlyNotice"));
    notice_->hide();

    load_ = new LoadBand(this);
    connect(load_, &LoadBand::shownChanged, this, &DataGrid::updateGeometries);
    find_ = new FindBar(this);
    connect(find_, &FindBar::shownChanged, this, &DataGrid::updateGeometries);
    filter_ = new FilterBar(this);
    connect(filter_, &FilterBar::shownChanged, this, &DataGrid::updateGeometries);
    connect(filter_, &FilterBar::applyWanted, this, qOverload<>(&DataGrid::applyFilter));
    connect(filter_, &FilterBar::clearWanted, this, &DataGrid::clearFilter);
    refresh_ = new GridRefresh(this);
    addReadActions();
    addFilterActions();
    edits_ = new GridEdits(this);
}

DataGrid::~DataGrid() {
    // An editor still open goes first (unbinding the rows under it would move the focus
    // through a grid half taken down).
    if (QWidget* editor = delegate_->openEditor(); editor && isEditing())
        closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    setModel(nullptr);
    model_.reset();
}

void DataGrid::setDataSource(std::shared_ptr<db::RecordsetData> source, bool sameTable) {
    commitPendingEdit();
    find_->stop();
    refresh_->cancel();
    std::unique_ptr<model::RecordsetModel> previous = std::move(model_);
    QItemSelectionModel* previousSelection = selectionModel();
    // The same table with another filter keeps its columns' widths, the user's included.
    std::vector<int> widths;
    for (int c = 0; sameTable && previous && c < previous->columnCount(); ++c)
        widths.push_back(columnWidth(c));
    source_ = std::move(source);
    if (source_) {
        model_ = sameTable && previous ? std::make_unique<model::RecordsetModel>(source_, *previous)
                                       : std::make_unique<model::RecordsetModel>(source_);
        model_->setFailureHandler([this](const QString& message) { showFailure(message); });
        model_->setWriteRunner([this](const std::function<db::CellWriteResult()>& write) {
            return waitForWrite(this, write);
        });
    }
    setModel(model_.get());
    edits_->bind(model_.get());
    load_->follow(model_.get());
    delete previousSelection; // the view does not delete the one it replaces
    previous.reset();         // the earlier rows, and with them their connection, go now

    // Rows still arriving learn their table's keys once they are on screen.
    sortAsked_ = {-1, Qt::AscendingOrder};
    showSortOrder();
    if (model_) {
        connect(model_.get(), &model::RecordsetModel::sortStarted, this, &DataGrid::showSortOrder);
        connect(model_.get(), &model::RecordsetModel::sortFinished, this, &DataGrid::showSortOrder);
        // Columns widen for wider values as they arrive or are written.
        connect(model_.get(), &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex&, int first, int last) { widenFor(first, last); });
        connect(model_.get(), &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex& from, const QModelIndex& to) {
                    widenFor(from.row(), to.row());
                });
        connect(model_.get(), &model::RecordsetModel::twinMarksMoved, this,
                &DataGrid::showTwinMarks);
    }
    if (model_ && !model_->keysKnown())
        connect(model_.get(), &model::RecordsetModel::keysLearned, this,
                &DataGrid::showReadOnlyReason);
    else
        showReadOnlyReason();
    if (model_ && model_->columnCount() > 0) {
        verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
        const bool keepWidths = int(widths.size()) == model_->columnCount();
        if (!keepWidths)
            resizeColumnsToContents();
        for (int c = 0; c < model_->columnCount(); ++c)
            setColumnWidth(c, keepWidths ? widths[std::size_t(c)]
                                         : std::min(columnWidth(c), kWidestColumn));
        if (model_->rowCount() > 0)
            setCurrentIndex(model_->index(0, 0));
    }
    offerRememberedFilter();
    updateGeometries();
}

void DataGrid::SetFocus() {
    setFocus();
}

bool DataGrid::commitPendingEdit() {
    QWidget* editor = delegate_->openEditor();
    if (state() == EditingState && editor) {
        commitData(editor);
        closeEditor(editor, QAbstractItemDelegate::NoHint); // stays open when refused
    }
    // A row typed in the new-row line is written as it is left.
    const bool rowAdded = edits_->commitNewRow();
    return refusal_.isEmpty() && rowAdded;
}

bool DataGrid::leaveAllowed() {
    if (commitPendingEdit())
        return true;
    const QString question =
        edits_->hasTypedRow()
            ? GridEdits::DiscardQuestion
            : QStringLiteral("The value you typed was not written to the table. Discard it?");
    if (!edits_->confirm(question)) {
        if (QWidget* editor = delegate_->openEditor())
            editor->setFocus();
        else
            setFocus();
        return false;
    }
    discardUnsavedInput();
    return true;
}

void DataGrid::discardUnsavedInput() {
    if (QWidget* editor = delegate_->openEditor(); editor && state() == EditingState)
        closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    edits_->dropNewRow();
}

void DataGrid::commitData(QWidget* editor) {
    // A refused text is tried again only when the user asks (a key) or changed it: never
    // behind the user's back as the focus moves.
    if (!refusal_.isEmpty() && !delegate_->committingByKey() &&
        CellDelegate::editorText(editor) == refusedText_)
        return;
    editorCommit_ = true;
    refusal_.clear();
    QTableView::commitData(editor);
    editorCommit_ = false;
    if (!delegate_->lastCommitRefused()) {
        refusal_.clear();
        return;
    }
    refusedText_ = CellDelegate::editorText(editor);
    if (refusal_.isEmpty())
        refusal_ = QStringLiteral("The value was not written.");
}

void DataGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    if (!refusal_.isEmpty() && hint != QAbstractItemDelegate::RevertModelCache) {
        // 1. The editor stays with the text as typed; 2. the reason shows beside it.
        editor->setToolTip(refusal_);
        showNoticeText(refusal_);
        if (QApplication::focusWidget() == this)
            editor->setFocus();
        return;
    }
    refusal_.clear();
    QTableView::closeEditor(editor, hint);
    showNotice(currentIndex());
}

bool DataGrid::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) {
    // While the table is read again, the rows shown are about to go: nothing is edited.
    if (refresh_ && refresh_->waiting())
        return false;
    if (!refusal_.isEmpty() && delegate_->openEditor())
        return false; // the refused text stays until it is written or given up
    const bool wasEditing = isEditing();
    const bool opened = QTableView::edit(index, trigger, event);
    if (opened && !wasEditing && isEditing())
        emit editorOpened();
    if (opened && delegate_->openEditor() &&
        delegate_->openEditor()->objectName() == QLatin1String("CellTextEditor"))
        showNoticeText(CellDelegate::MultiLineKeys);
    return opened;
}

void DataGrid::goOnMultiLine(QWidget* editor, const QString& text, int cursor) {
    const QModelIndex index = currentIndex();
    if (!editor || editor != delegate_->openEditor() || !index.isValid())
        return;
    refusal_.clear();
    QTableView::closeEditor(editor, QAbstractItemDelegate::NoHint); // nothing written yet
    delegate_->openMultiLineNext(text, cursor);
    edit(index);
}

void DataGrid::keyPressEvent(QKeyEvent* event) {
    const bool control = event->modifiers() & Qt::ControlModifier;
    if (control && (event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab)) {
        leaveGrid(event->key() == Qt::Key_Tab && !(event->modifiers() & Qt::ShiftModifier));
        return;
    }
    const QModelIndex index = currentIndex();
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        event->modifiers() == Qt::ShiftModifier && model_ && index.isValid() &&
        state() != EditingState && (model_->flags(index) & Qt::ItemIsEditable) &&
        model::RecordsetModel::isText(
            model_->source()->rows.columns()[std::size_t(index.column())])) {
        // Any text cell takes a line break: the multi-line editor, with the break.
        const QString text = index.data(Qt::EditRole).toString() + QLatin1Char('\n');
        delegate_->openMultiLineNext(text, int(text.size()));
        edit(index);
        return;
    }
    QTableView::keyPressEvent(event);
}

void DataGrid::leaveGrid(bool forward) {
    QWidget* next = this;
    do
        next = forward ? next->nextInFocusChain() : next->previousInFocusChain();
    while (next != this &&
           (isAncestorOf(next) || next->window() != window() || !next->isVisibleTo(window()) ||
            !next->isEnabled() || !(next->focusPolicy() & Qt::TabFocus)));
    if (next != this)
        next->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

void DataGrid::widenFor(int first, int last) {
    if (!model_ || first < 0 || last < first)
        return;
    const db::ResultTable& rows = model_->source()->rows;
    // The longest value among some of the rows (all of a few, spread over many), by its
    // stored length: measuring each would cost a long read its speed.
    const int step = std::max(1, (last - first + 1) / kWidenSample);
    for (int column = 0; column < model_->columnCount(); ++column) {
        if (columnWidth(column) >= kWidestColumn)
            continue;
        int longestRow = -1;
        std::size_t longest = 0;
        for (int row = last; row >= first; row -= step) {
            const int stored = model_->storedRow(row);
            if (stored < 0 || rows.isNull(stored, column))
                continue;
            if (const std::size_t size = rows.bytes(stored, column).size(); size > longest)
                longest = size, longestRow = row;
        }
        if (longestRow < 0)
            continue;
        QStyleOptionViewItem option;
        initViewItemOption(&option);
        const int wanted =
            itemDelegate()->sizeHint(option, model_->index(longestRow, column)).width() + 8;
        if (wanted > columnWidth(column))
            setColumnWidth(column, std::min(wanted, kWidestColumn));
    }
}

void DataGrid::showTwinMarks() {
    const int rows = model_ ? model_->rowCount() : 0;
    if (rows == 0)
        return;
    const int top = std::max(0, rowAt(0));
    const int bottom = rowAt(viewport()->height() - 1);
    verticalHeader()->headerDataChanged(Qt::Vertical, top, bottom < 0 ? rows - 1 : bottom);
}

bool DataGrid::nullAllowed(const QModelIndex& index) const {
    return model_ && index.isValid() && (model_->flags(index) & Qt::ItemIsEditable) &&
           model_->source()->rows.columns()[std::size_t(index.column())].nullable;
}

void DataGrid::updateSetNull() {
    // Not offered where the column does not allow NULL.
    const QModelIndex current = currentIndex();
    const bool columnTakesNull =
        !model_ || !current.isValid() ||
        model_->source()->rows.columns()[std::size_t(current.column())].nullable;
    setNull_->setVisible(columnTakesNull);
    setNull_->setEnabled(nullAllowed(current));
}

void DataGrid::setCurrentCellNull() {
    // Several cells selected (and none being edited): each of them, in one transaction.
    if (!isEditing() && selectionModel() && selectionModel()->selectedIndexes().size() > 1)
        return edits_->setSelectionNull();
    const QModelIndex index = currentIndex();
    if (refresh_->waiting())
        return;
    if (!nullAllowed(index))
        return;
    if (QWidget* editor = delegate_->openEditor(); editor && state() == EditingState) {
        refusal_.clear();
        closeEditor(editor, QAbstractItemDelegate::RevertModelCache);
    }
    model_->setData(index, QVariant(), Qt::EditRole);
}

void DataGrid::sortByHeader(int column) {
    // Against the order last asked for: a second click may come before the first sort ends.
    const bool again = sortAsked_.first == column && sortAsked_.second == Qt::AscendingOrder;
    sortBy(column, again ? Qt::DescendingOrder : Qt::AscendingOrder);
}

void DataGrid::sortBy(int column, Qt::SortOrder order) {
    if (!model_)
        return;
    commitPendingEdit();
    sortAsked_ = {column, order};
    model_->sort(column, order);
}

void DataGrid::showSortOrder() {
    const bool sorted = model_ && model_->sortColumn() >= 0;
    horizontalHeader()->setSortIndicatorShown(sorted);
    if (sorted)
        horizontalHeader()->setSortIndicator(model_->sortColumn(), model_->sortOrder());
    // The rows stay as they are shown until a sort of many rows is done.
    if (model_ && model_->sorting())
        viewport()->setCursor(Qt::BusyCursor);
    else
        viewport()->unsetCursor();
    if (model_ && currentIndex().isValid())
        scrollTo(currentIndex());
}

void DataGrid::stopLoading() {
    refresh_->cancel(); // a refresh waiting for its rows too
    if (model_)
        model_->stopLoading();
}

void DataGrid::showReadOnlyReason() {
    setToolTip(readOnlyReason());
    const QModelIndex current = currentIndex();
    showNotice(current);
    updateSetNull();
    updateGeometries();
}

void DataGrid::paintEvent(QPaintEvent* event) {
    QTableView::paintEvent(event);
    if (model_ && !model_->keysKnown())
        model_->learnKeysSoon();
}

QWidget* DataGrid::readOnlyNotice() const {
    return notice_;
}

QString DataGrid::readOnlyReason() const {
    return model_ ? model_->readOnlyReason() : QString();
}

void DataGrid::contextMenuEvent(QContextMenuEvent* event) {
    QPoint at = event->globalPos();
    if (event->reason() == QContextMenuEvent::Mouse) {
        // A click on a selected cell keeps the selection (to copy it, say).
        const QModelIndex index = indexAt(viewport()->mapFromGlobal(at));
        if (index.isValid() && selectionModel()->isSelected(index))
            selectionModel()->setCurrentIndex(index, QItemSelectionModel::NoUpdate);
        else if (index.isValid())
            setCurrentIndex(index);
    } else if (currentIndex().isValid()) {
        // From the keyboard: at the current cell.
        at = viewport()->mapToGlobal(visualRect(currentIndex()).center());
    }
    // The menu is the grid's own actions, in the order they were added (separators are
    // separator actions), so each feature brings its own.
    auto* menu = new QMenu(this);
    menu->setObjectName(QStringLiteral("GridMenu"));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->addActions(actions());
    menu->popup(at);
}

void DataGrid::showNotice(const QModelIndex& current) {
    // Rows still arriving show their reasons once the table's keys are learned.
    if (model_ && !model_->keysKnown())
        return;
    // The table's reason, else the current cell's own (a value it cannot carry back).
    const QString reason =
        model_ && current.isValid() ? model_->cellReadOnlyReason(current) : readOnlyReason();
    const bool changed = notice_->text() != reason || notice_->isHidden() != reason.isEmpty();
    notice_->setText(reason);
    notice_->setVisible(!reason.isEmpty());
    if (changed)
        updateGeometries();
}

void DataGrid::currentChanged(const QModelIndex& current, const QModelIndex& previous) {
    QTableView::currentChanged(current, previous);
    if (!refusal_.isEmpty() && delegate_->openEditor() && previous.isValid()) {
        // The refused text stays open: the current cell goes back to it.
        QTimer::singleShot(0, this, [this, back = QPersistentModelIndex(previous)] {
            if (back.isValid() && !refusal_.isEmpty() && delegate_->openEditor())
                setCurrentIndex(back);
        });
        showNoticeText(refusal_);
        return;
    }
    showNotice(current);
    edits_->currentChanged(current, previous);
    updateSetNull();
}

void DataGrid::updateGeometries() {
    // Setting the margins lays the view out again, which comes back here: once is enough.
    if (placingNotice_)
        return;
    placingNotice_ = true;
    QTableView::updateGeometries();
    const int loadBand = load_->isHidden() ? 0 : load_->sizeHint().height();
    const int findBand = find_->isHidden() ? 0 : find_->sizeHint().height();
    const int filterBand = filter_->isHidden() ? 0 : filter_->sizeHint().height();
    // The notice takes the lines its text needs, leaving the cells a header and a row.
    const int room = height() - 2 * frameWidth() - horizontalHeader()->height() -
                     verticalHeader()->defaultSectionSize() - loadBand - findBand - filterBand;
    const int noticeBand =
        notice_->isHidden()
            ? 0
            : std::max(std::min(notice_->heightForWidth(width() - 2 * frameWidth()), room),
                       notice_->sizeHint().height());
    const int band = noticeBand + loadBand + findBand + filterBand;
    QMargins margins = viewportMargins();
    if (margins.bottom() != band) {
        margins.setBottom(band);
        setViewportMargins(margins);
    }
    if (band > 0) {
        const QRect cells = viewport()->geometry();
        const int width = cells.right() + 1 - frameWidth();
        int top = cells.bottom() + 1;
        if (filterBand > 0) {
            filter_->setGeometry(frameWidth(), top, width, filterBand);
            filter_->raise();
            top += filterBand;
        }
        if (findBand > 0) {
            find_->setGeometry(frameWidth(), top, width, findBand);
            find_->raise();
            top += findBand;
        }
        if (loadBand > 0) {
            load_->setGeometry(frameWidth(), top, width, loadBand);
            load_->raise();
            top += loadBand;
        }
        if (noticeBand > 0) {
            notice_->setGeometry(frameWidth(), top, width, noticeBand);
            notice_->raise();
        }
    }
    placingNotice_ = false;
}

void DataGrid::showFailure(const QString& message) {
    if (editorCommit_) {
        refusal_ = message; // the editor shows it (closeEditor)
        return;
    }
    app::platform().messageBox(window(), message, app::kStyleExclamation, app::ApplicationTitle());
}

void DataGrid::showNoticeText(const QString& text) {
    if (text.isEmpty())
        return showNotice(currentIndex());
    notice_->setText(text);
    notice_->show();
    updateGeometries(); // as many lines as the text takes
}

} // namespace pages

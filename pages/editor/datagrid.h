#pragma once

// The editor's grid: a table view over the rows of a recordset, writing each committed
// edit back to the table (Enter, or leaving the cell, commits). A value the table refuses
// leaves its editor open with the text as typed and the reason in the band under the
// cells; Esc gives it up. Shift+Enter in a text cell goes on in the multi-line editor
// with a line break. Ctrl+Tab and Ctrl+Shift+Tab leave the grid for the page's next or
// previous control. Ctrl+0 or the context menu's "Set to NULL" sets the current cell to
// NULL where the column allows it. The context menu shows the grid's
// own actions (QWidget::actions), in the order they were added. A click on a column's
// header sorts the rows shown by that column, a second click the other way round; the
// header shows the order (the table itself is not changed). Ctrl+C copies the selected
// cells (gridcopy.h), Ctrl+F finds a text (findbar.h), Ctrl+Shift+F filters the rows
// (filterbar.h; the context menu filters by the current cell's value too), F5 reads the
// table again (gridrefresh.h). A table whose rows cannot be
// written shows read-only, with the reason in a band under the cells; so does a cell
// whose value cannot be written back exactly, while it is the current one. A write runs
// while the window repaints, with the hourglass, and can be cancelled (writewait.h).

#include <QStringList>
#include <QTableView>
#include <memory>

class QAction;

namespace db {
struct RecordsetData;
struct Filter;
} // namespace db

namespace model {
class RecordsetModel;
} // namespace model

namespace pages {

class CellDelegate;
class FilterBar;
class FindBar;
class GridEdits;
class GridRefresh;
class LoadBand;
class NoticeBand;

class DataGrid : public QTableView {
    Q_OBJECT
  public:
    // What the filter bar says when it offers the filter last used on the table.
    static const QString OfferedFilterText;

    explicit DataGrid(QWidget* parent = nullptr);
    using QTableView::edit;
    ~DataGrid() override;

    // Binds the grid to a recordset's rows; null unbinds (and lets the rows go at once).
    // An edit still open is committed first.
    // With `sameTable`, the rows are the bound table's read again with another filter, and
    // what was learnt of its keys holds (a refresh learns them again).
    void setDataSource(std::shared_ptr<db::RecordsetData> source, bool sameTable = false);
    std::shared_ptr<db::RecordsetData> DataSource() const { return source_; }
    void SetFocus();
    // Commits an edit still open in a cell and the new-row line (before the page is left
    // or closed); false when something typed could not be written and is still there.
    bool commitPendingEdit();
    // Gives up what commitPendingEdit could not write: the editor's text, the new row.
    void discardUnsavedInput();
    // Before the page is left or closed: commits what is open; when something typed could
    // not be written, asks whether to discard it (the safe answer stays). True: leave.
    bool leaveAllowed();
    // True while a cell's editor is open.
    bool isEditing() const { return state() == EditingState; }
    // Writes NULL into the current cell (an open edit there is dropped), or, with no edit
    // open, into every selected cell when several are selected.
    void setCurrentCellNull();

    QAction* setNullAction() const { return setNull_; }
    // Sorts the rows shown (see model::RecordsetModel::sort); the header shows the order.
    void sortBy(int column, Qt::SortOrder order);
    // Puts the selected cells on the clipboard (gridcopy.h).
    void copySelection();
    // Reads the table again (gridrefresh.h).
    void refresh();
    FindBar* findBar() const { return find_; }
    FilterBar* filterBar() const { return filter_; }
    // Reads the table again with the bar's conditions as a WHERE the server evaluates, and
    // remembers them for the table; a refused condition is shown in the bar, and the rows
    // shown stay.
    void applyFilter();
    void applyFilter(const db::Filter& filter);
    // Reads every row of the table again, and forgets the remembered filter.
    void clearFilter();
    // Filters by the current cell's value (or away from it), beside the conditions the rows
    // were read with.
    void filterByCurrentValue(bool excluding);
    GridRefresh* refresher() const { return refresh_; }
    // Why the bound rows cannot be edited; empty when they can (or nothing is bound).
    QString readOnlyReason() const;
    // The band under the cells that shows that reason (hidden when there is none).
    QWidget* readOnlyNotice() const;
    // Stops reading the bound rows, if they are still being read: those read so far stay.
    void stopLoading();
    // The band under the cells that follows the read of the rows (see LoadBand).
    LoadBand* loadBand() const { return load_; }
    // New rows, deletes, paste, undo and redo (gridedits.h).
    GridEdits* edits() const { return edits_; }
    // Shows a message in the band under the cells until the current cell changes (empty:
    // the current cell's own reason, if any).
    void showNoticeText(const QString& text);

  signals:
    // A cell's editor opened.
    void editorOpened();

  protected:
    void commitData(QWidget* editor) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void currentChanged(const QModelIndex& current, const QModelIndex& previous) override;
    void updateGeometries() override;
    void paintEvent(QPaintEvent* event) override;

  private:
    void addReadActions();
    void addFilterActions();
    QStringList columnNames() const;
    // A table opened (not read again): the filter remembered for it is offered in the bar.
    void offerRememberedFilter();
    QAction* addGridAction(const QString& text, const QString& name,
                           const QList<QKeySequence>& keys);
    void sortByHeader(int column);
    void showSortOrder();
    void showReadOnlyReason();
    void showFailure(const QString& message);
    void showNotice(const QModelIndex& current);
    bool nullAllowed(const QModelIndex& index) const;
    // Widens the columns for the values of these view rows (up to a limit).
    void widenFor(int first, int last);
    // The row headers shown now are drawn again (twin marks).
    void showTwinMarks();
    void updateSetNull();
    void leaveGrid(bool forward);
    void goOnMultiLine(QWidget* editor, const QString& text, int cursor);

    std::shared_ptr<db::RecordsetData> source_;
    std::unique_ptr<model::RecordsetModel> model_;
    CellDelegate* delegate_ = nullptr;
    QAction* setNull_ = nullptr;
    NoticeBand* notice_ = nullptr;
    LoadBand* load_ = nullptr;
    FindBar* find_ = nullptr;
    FilterBar* filter_ = nullptr;
    QString filterPlace_; // where the bound rows came from (rememberedfilter.h)
    GridRefresh* refresh_ = nullptr;
    GridEdits* edits_ = nullptr;
    bool placingNotice_ = false;
    // While a cell's editor commits: a refusal goes to the editor, not to a message box.
    bool editorCommit_ = false;
    // Why the open editor's text was refused (empty when it was not), and that text.
    QString refusal_;
    QString refusedText_;
    std::pair<int, Qt::SortOrder> sortAsked_{-1, Qt::AscendingOrder};
};

} // namespace pages

#pragma once

// The grid's model: a thin view over a recordset's stored rows (no copy of them), whose
// committed edits go to the table through a RowWriter. NULL shows as a placeholder,
// told apart from empty text; its edit text is empty. A long value shows its first
// characters and a mark that there is more; its edit text is the whole value. Rows that
// arrive while the table is still being read are inserted at the end as they come (at
// their places when the rows are sorted); the model going (the grid rebound, the program
// ending) stops that read. The model's rows are the stored rows in an order of its own
// (roworder.h): every row number the model is given is a view row, mapped to its stored
// row through storedRow.

#include "db/read/recordset.h"
#include "db/values/valuerules.h"
#include "db/write/writejob.h"
#include "model/celltext.h"
#include "model/roworder.h"
#include "model/rowsort.h"
#include "model/twincounts.h"

#include <QAbstractTableModel>
#include <functional>
#include <memory>
#include <optional>
#include <thread>
#include <unordered_set>

namespace db {
class RowWriter;
struct TableKeys;
struct CellWriteResult;
} // namespace db

namespace model {

class NewRowLine;
class SortJob;

class RecordsetModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    // True for a cell holding NULL.
    static constexpr int IsNullRole = Qt::UserRole + 1;
    // What a NULL cell shows.
    static const QString NullPlaceholder;
    // The most characters a cell shows of its value.
    static constexpr int ShownCharacters = kShownCharacters;

    // Fixed-width text (char(n), nchar(n)) is shown, edited, found and copied without the
    // blanks the server pads it with (the server compares it without them, too).
    static bool fixedWidth(const db::ColumnInfo& column);
    static std::string_view unpadded(std::string_view value);
    // A column of text (which can take line breaks).
    static bool isText(const db::ColumnInfo& column);

    // Learns the table's keys through the rows' connection (see db::RowWriter).
    explicit RecordsetModel(std::shared_ptr<db::RecordsetData> data, QObject* parent = nullptr);
    // The same table's rows read again with another filter: its keys are known already
    // from `sameTable`'s rows (see db::RowWriter), and not asked of the server again.
    RecordsetModel(std::shared_ptr<db::RecordsetData> data, const RecordsetModel& sameTable);
    ~RecordsetModel() override;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Writes the value to the table (an invalid QVariant writes NULL) and answers whether
    // it was written. A refused write is told through the failure handler, and the row
    // then shows what the table holds.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

    // Why no cell can be edited; empty when the table's rows can be written.
    QString readOnlyReason() const;
    // Why this cell cannot be edited; empty when it can.
    QString cellReadOnlyReason(const QModelIndex& index) const;
    // Whether the table's keys are known. Rows that are still being read learn them only
    // once the first rows are on screen (keysLearned then); until then no cell is editable.
    // Asking for the reason above, or writing, learns them at once.
    bool keysKnown() const { return writer_ != nullptr; }
    // Learns the keys on a later turn of the event loop, unless known.
    void learnKeysSoon();
    // Called with a message for the user when a write is refused.
    void setFailureHandler(std::function<void(const QString&)> handler);
    // Runs each write's talk with the server (on a worker thread, say); by default the
    // write runs at once.
    using WriteRunner = db::WriteRunner;
    void setWriteRunner(WriteRunner runner);

    // The stored row (of the recordset's rows) shown at a view row; -1 for a row that is
    // not a stored row.
    int storedRow(int viewRow) const { return order_.stored(viewRow); }
    // The view row that shows a stored row; -1 when it is not shown.
    int viewRow(int storedRow) const { return order_.view(storedRow); }
    // A cell's whole value as text (binary values in hexadecimal); nothing for NULL.
    std::optional<QString> wholeText(int viewRow, int column) const;
    // The table's keys, once known (keysKnown); null before.
    const db::TableKeys* tableKeys() const;
    // The rows the model shows (null when unbound).
    const std::shared_ptr<db::RecordsetData>& source() const { return data_; }

    // In a table whose rows are found by all their values (no key), the rows shown that
    // hold the same values as this stored row, itself included (1: it has no twin; 0: it
    // is not shown, or the table has a key). Twins are marked in the row header.
    int twinCount(int storedRow) const;
    // What a twin's row header says in its tooltip.
    static const QString TwinTip;
    // Whether this stored row was written or added so that the rows' filter no longer
    // holds for it: it stays shown, marked in the row header, until the rows are read again.
    bool outsideFilter(int storedRow) const { return outsideFilter_.count(storedRow) > 0; }
    static const QString OutsideFilterTip;

    // Stops showing stored rows (rows deleted from the table); they stay stored.
    void hideStoredRows(std::vector<int> storedRows);
    // Shows rows appended to the stored rows (inserted rows): at the end, or at their
    // places when the rows are sorted.
    void showAppendedRows(const std::vector<int>& storedRows);

    // For the grid's own edits (gridedits.h): a line after the shown rows that is not a
    // stored row (null: none), the writer, the write runner, rows read again, and each
    // committed cell edit as the table held the cell before and after.
    void setNewRowLine(NewRowLine* line);
    // The stored rows shown (the rows but the new-row line).
    int shownRows() const { return order_.count(); }
    NewRowLine* newRowLine() const { return line_; }
    db::RowWriter& rowWriter() const { return writer(); }
    db::CellWriteResult runWrite(const std::function<db::CellWriteResult()>& talk);
    // runWrite as a write runner, for db::complete.
    db::WriteRunner writeRunner() {
        return [this](const std::function<db::CellWriteResult()>& talk) { return runWrite(talk); };
    }
    void storedRowsChanged(const std::vector<int>& storedRows);
    using CellWritten = std::function<void(int storedRow, int column, const db::CellValue& before,
                                           const db::CellValue& after)>;
    void setCellWrittenHandler(CellWritten handler) { onWritten_ = std::move(handler); }

    // Sorts the rows shown by a column's values (see sortkeys.h), stably; column -1 puts
    // them back in table order. The sort runs on a worker thread: until sortFinished the
    // rows stay as they are shown, and a sort asked for meanwhile follows it. Rows that
    // arrive later go to their places.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    // The column the rows shown are sorted by (-1: none), and in which direction.
    int sortColumn() const { return shown_.column; }
    Qt::SortOrder sortOrder() const { return shown_.order; }
    bool sorting() const { return job_ != nullptr; }

    // Where the read of the rows stands (Complete once every row is here).
    db::RecordsetData::Load load() const;
    QString loadMessage() const;
    // Stops reading rows: those read so far stay.
    void stopLoading();

  signals:
    // Rows arrived, or the read ended or stopped.
    void loadChanged();
    // The table's keys are known now (see keysKnown).
    void keysLearned();
    // A sort has begun, or its rows are shown.
    void sortStarted();
    void sortFinished();
    // Rows already shown became twins, or stopped being twins: their row headers change.
    void twinMarksMoved();

  private:
    void rowsArrived();
    void appendShown(int first, int last);
    void appendedShown();
    // Whether stored row `a` goes before `b` in the order shown now; empty while the rows
    // are in table order.
    RowOrder::Less shownLess() const;
    // Changes the order of the rows shown; the current cell and the selection stay with
    // their rows.
    void reorder(const std::function<void()>& change);
    void startSort();
    // Rows whose sort keys are gathered in one turn of the event loop.
    static constexpr int kKeysPerTurn = 100000;
    void gatherKeys(const std::shared_ptr<SortJob>& job);
    void finishSort(const std::shared_ptr<SortJob>& job);
    db::RowWriter& writer() const;
    // Twins are counted by a hash of each shown row's values, as rows come, change and go;
    // only in a table found by all its values.
    void start(const db::RowWriter* learnt);
    // Asks the server whether the filter still holds for these stored rows, just written or
    // added, and marks or unmarks their row headers.
    void recheckFilter(const std::vector<int>& storedRows);
    void trackTwins();
    void countTwins(int storedRow);
    // The same for stored rows `first` .. `last`, all shown.
    void countTwins(int first, int last);
    // Whether the twin count of its values crossed 1 (a row header changes).
    bool uncountTwins(int storedRow);
    void twinMarksChanged();

    std::shared_ptr<db::RecordsetData> data_;
    mutable std::unique_ptr<db::RowWriter> writer_;
    std::function<void(const QString&)> onFailure_;
    WriteRunner runner_;
    bool writing_ = false;
    RowOrder order_;
    NewRowLine* line_ = nullptr;
    CellWritten onWritten_;
    int appending_ = 0; // rows being appended at the end, not yet in order_
    SortRule shown_;    // the order of the rows shown
    std::optional<std::pair<int, Qt::SortOrder>> wanted_;
    std::shared_ptr<SortJob> job_; // the sort under way
    std::thread sortThread_;
    bool twinsTracked_ = false;
    std::vector<std::uint64_t> rowHashes_; // of each stored row shown; 0: not counted
    TwinCounts twinCounts_;
    bool twinMarksMoved_ = false; // a row not among those counted now became a twin, or not
    std::unordered_set<int> outsideFilter_; // stored rows (see outsideFilter)
};

} // namespace model

#pragma once

// Writes one edited cell of a recordset's rows back to its table. Inside one transaction
// of its own the writer reads the row again by its locator (tablekeys.h) and by every
// value the grid shows that the server can compare, and goes on only when exactly one
// row answers and it holds what the grid shows in every column; it then updates that
// column, reads the row once more and commits only when the server holds exactly the
// typed value. Otherwise it rolls back, and the stored row shows what the table holds
// now. The typed value is checked against the column before anything is sent
// (valuerules.h). The rows checked are read with holdlock, so no other user changes them
// or adds a row like them before the write. In a table without a key, a write must
// leave exactly one more row holding the written values, else a trigger changed the row
// and another stands in for it. Counts the server reports for the UPDATE decide nothing:
// a trigger's count may stand in for the statement's own.

#include "db/boundquery.h"
#include "db/dberror.h"
#include "db/tablekeys.h"
#include "db/valuerules.h"

#include <QString>
#include <functional>
#include <memory>
#include <unordered_map>

namespace db {

struct RecordsetData;
class WriteTransaction;

enum class WriteStatus {
    Written,     // exactly one row changed (or there was nothing to change)
    RowChanged,  // the row is there but holds other values now
    RowVanished, // the row cannot be found as it was read
    Ambiguous,   // more than one row holds what the grid shows
    Rejected,    // the server or the driver refused the statement
    ReadOnly,    // the cell cannot be written at all
    DoesNotFit,  // the typed value does not fit the column; nothing was sent
    NotKept,     // the server would not hold the typed value (a trigger, a rule)
    TimedOut,    // the write did not finish within its time-out (a lock, a stalled server)
    Deadlocked,  // the server chose the write as a deadlock's victim and rolled it back
    Cancelled,   // the user stopped the write
};

struct CellWriteResult {
    CellWriteResult() = default;
    CellWriteResult(WriteStatus s, QString text) : status(s), message(std::move(text)) {}

    WriteStatus status = WriteStatus::Written;
    QString message; // for the user, when nothing was written
    // The stored row to show afterwards (what the table holds), until applied.
    std::optional<std::pair<int, RowValues>> row;
    // More stored rows to show afterwards (a write of several rows), until applied.
    std::vector<std::pair<int, RowValues>> rows;
    // A row the write added to the table, as read back; appended to the stored rows when
    // applied, which sets `appendedRow` to its place.
    std::optional<RowValues> appended;
    int appendedRow = -1;
    // Further rows it added (several at once), appended after it; `appendedRows` holds the
    // places of all of them once applied.
    std::vector<RowValues> appendedMore;
    std::vector<int> appendedRows;
    // Stored rows the write deleted from the table.
    std::vector<int> deleted;
    // Set when the transaction could not be ended: writes stop once this is applied.
    QString stopReason;
};

inline constexpr int kDefaultWriteTimeout = 30; // seconds

class RowWriter {
  public:
    // Learns the table's keys through the recordset's connection. Never throws: a
    // recordset whose rows cannot be written gets a reason instead.
    explicit RowWriter(std::shared_ptr<RecordsetData> data);
    // Over keys already known (tests).
    RowWriter(std::shared_ptr<RecordsetData> data, TableKeys keys);
    RowWriter(const RowWriter&) = delete;
    RowWriter& operator=(const RowWriter&) = delete;

    // Why no cell can be written; empty when rows can be.
    const QString& readOnlyReason() const { return reason_; }
    // Why this column cannot be written (identity, computed, timestamp, binary, a type
    // the driver cannot describe); empty when it can.
    QString columnReadOnlyReason(int column) const;
    // Why this one cell cannot be written back exactly; empty when it can.
    QString cellReadOnlyReason(int row, int column) const;
    // What the login may not do to the table's rows as a whole (add or delete them);
    // empty when it may do both, or when nothing can be written at all.
    QString permissionNote() const;
    bool canWrite(int column) const;
    bool canWrite(int row, int column) const;
    const TableKeys& keys() const { return keys_; }
    const std::shared_ptr<RecordsetData>& data() const { return data_; }

    // Seconds each write may take, begin and commit included (0: no limit).
    void setWriteTimeout(int seconds) { timeout_ = seconds; }
    int writeTimeout() const { return timeout_; }

    // Writes `value` (nothing for NULL) into one stored cell. The stored row is replaced
    // by what the table holds after the write, and after a failed write when the row
    // could be read again; a write that changes nothing sends nothing.
    CellWriteResult write(int row, int column, const CellValue& value);
    // The same in three steps. `begin` checks the value and keeps a copy of the row, on
    // the thread that owns the rows; it answers at once unless the server must be asked
    // (then `pending` is true). `finish` talks to the server using only that copy, so it
    // may run on a worker thread while the window paints and rows arrive. `apply` then
    // replaces the stored row, again on the thread that owns the rows.
    CellWriteResult begin(int row, int column, const CellValue& value);
    bool pending() const { return pending_.has_value(); }
    CellWriteResult finish();
    void apply(CellWriteResult& result);

    // The UPDATE that `write` sends.
    BoundQuery updateStatement(int row, int column, const CellValue& value) const;

    // The column as the write rules see it.
    ColumnType columnType(int column) const { return typeOf(column); }

  private:
    // The writes of several cells or rows share this writer's checks and transaction.
    friend class CellBlockWriter;
    friend class RowDeleter;
    friend class RowInserter;

    ColumnType typeOf(int column) const;
    CellValue stored(int row, int column) const;
    void appendCondition(BoundQuery& query, bool& first, int column, const CellValue& value) const;
    // " WHERE ..." finding the row as the grid shows it: by its locator, the edited
    // column and the row version; with `column` -1, by every comparable column.
    void appendShownRow(BoundQuery& query, int row, int column) const;
    // " WHERE ..." by the locator alone, with `column` holding `value`.
    bool appendLocator(BoundQuery& query, int row, int column, const CellValue& value) const;
    BoundQuery selectAll() const;
    // The same inside a write's transaction: on Adaptive Server with holdlock, so the rows
    // read stay as read, and no row joins them, until the transaction ends (isolation
    // level 3). The write then changes exactly the rows it checked.
    // With `count`, "SELECT count(*) ..." instead.
    BoundQuery selectHeld(bool count = false) const;
    // Runs a query made by selectHeld(true) with its conditions; the number it answers.
    static long long countRows(WriteTransaction& transaction, const BoundQuery& count);
    // The rows that hold the edited row's values with `column` holding `value`, in a
    // table without a key: the write must make exactly one more of them, else another
    // row would stand in for the one written.
    std::optional<long long> countAlike(WriteTransaction& transaction, int row, int column,
                                        const CellValue& value) const;
    // The first column whose value differs between the grid's row and `found`; -1 if none.
    int firstDifference(int row, const RowValues& found) const;
    QString changedMessage(int row, const RowValues& found, int differs) const;
    CellWriteResult checkShownRow(WriteTransaction& transaction, int row, int column);
    CellWriteResult checkKept(WriteTransaction& transaction, int row, int column,
                              const CellValue& original, const CellValue& typed);
    // After an update of a row of a table without a key: the rows holding its new values
    // must be `before` and this one row, else the row written cannot be told apart.
    CellWriteResult checkAlike(WriteTransaction& transaction, int row, int column,
                               const CellValue& typed, long long before);
    CellWriteResult failed(int row, int column, const CellValue& original, const DbError& error);
    CellWriteResult talk(int row, int column, const CellValue& typed);
    // One cell's update inside a transaction: the row checked as shown, updated, and read
    // back; the copied row then holds what the table holds.
    CellWriteResult updateCell(WriteTransaction& transaction, int row, int column,
                               const CellValue& typed);
    // Runs `step` in one transaction of its own: commits when it answers Written, else
    // (or when the server fails it) rolls back and says why. `current_` names the row
    // the step works on, read again after a failure.
    CellWriteResult transact(const std::function<CellWriteResult(WriteTransaction&)>& step);
    // Copies stored rows for a write: copy i is stored row rows[i].
    void takeSnapshot(const std::vector<int>& rows);
    // Reads the row again by its locator, with `column` holding `value`; true when
    // exactly one row answered (it is then the row to show).
    bool reread(int row, int column, const CellValue& value);

    std::shared_ptr<RecordsetData> data_;
    TableKeys keys_;
    QString reason_;
    int timeout_ = kDefaultWriteTimeout;
    long long textSize_ = 0; // the session's @@textsize; 0: not known
    // Whether a long value can be carried back, worked out once per cell: the grid asks
    // on every paint, and the answer reads the whole value. Dropped when a row is read again.
    mutable std::unordered_map<long long, QString> longCellReasons_;
    std::optional<std::pair<int, RowValues>> shown_; // the row to show after this write

    struct Pending {
        int row;
        int column;
        CellValue typed;
    };
    std::optional<Pending> pending_;
    struct Current {
        int row = -1; // in the copied rows; -1: none (a row being added)
        int column = -1;
        CellValue original;
    };
    Current current_;
    ResultTable snapshot_;                   // the rows being written, as begun
    std::vector<int> snapshotRows_;          // the stored row of each copied row
    const ResultTable* source_ = &snapshot_; // where the write reads stored values
};

} // namespace db

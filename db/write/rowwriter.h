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

#include "db/odbc/dberror.h"
#include "db/values/valuerules.h"
#include "db/write/boundquery.h"
#include "db/write/tablekeys.h"
#include "db/write/writecontext.h"
#include "db/write/writejob.h"

#include <QString>
#include <functional>
#include <memory>
#include <unordered_map>

namespace db {

struct RecordsetData;
class WriteTransaction;

class RowWriter : public WriteJob {
  public:
    // Learns the table's keys through the recordset's connection. Never throws: a
    // recordset whose rows cannot be written gets a reason instead.
    explicit RowWriter(std::shared_ptr<RecordsetData> data);
    // Over keys already known (tests).
    RowWriter(std::shared_ptr<RecordsetData> data, TableKeys keys);
    // For the same table's rows read again with another filter: what `learnt` learnt of
    // the table holds when the rows come from the same query over the same connection with
    // the same columns; otherwise the keys are learnt anew.
    RowWriter(std::shared_ptr<RecordsetData> data, const RowWriter& learnt);
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
    const TableKeys& keys() const { return context_.keys(); }
    const std::shared_ptr<RecordsetData>& data() const { return context_.data(); }
    // What the writes of this recordset's rows share: the writes of several cells or rows
    // check and write through it as this writer does.
    WriteContext& context() { return context_; }
    const WriteContext& context() const { return context_; }

    // Seconds each write may take, begin and commit included (0: no limit).
    void setWriteTimeout(int seconds) { context_.setTimeout(seconds); }
    int writeTimeout() const { return context_.timeout(); }

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
    bool pending() const override { return pending_.has_value(); }
    CellWriteResult finish() override;
    void apply(CellWriteResult& result) override;

    // One cell's update inside a write's transaction: the row checked as shown, updated,
    // and read back; the context's shown row then holds what the table holds. While the
    // write reads its copy, the next cell of the same row is checked against the row as it
    // stands now.
    CellWriteResult updateCell(WriteTransaction& transaction, int row, int column,
                               const CellValue& typed);

    // The UPDATE that `write` sends.
    BoundQuery updateStatement(int row, int column, const CellValue& value) const;

    // The column as the write rules see it.
    ColumnType columnType(int column) const { return context_.typeOf(column); }

  private:
    void learn();
    CellValue stored(int row, int column) const { return context_.stored(row, column); }
    CellWriteResult talk(int row, int column, const CellValue& typed);

    WriteContext context_;
    QString reason_;
    long long textSize_ = 0; // the session's @@textsize; 0: not known
    // Whether a long value can be carried back, worked out once per cell: the grid asks
    // on every paint, and the answer reads the whole value. Dropped when a row is read again.
    mutable std::unordered_map<long long, QString> longCellReasons_;

    struct Pending {
        int row;
        int column;
        CellValue typed;
    };
    std::optional<Pending> pending_;
};

} // namespace db

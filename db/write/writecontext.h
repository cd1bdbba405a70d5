#pragma once

// What every write of a recordset's rows shares: the table's keys and the session's rules
// for comparing values; the copy of the rows a write reads, taken on the thread that owns
// the rows; one transaction of its own around any number of cell updates, row deletes or
// inserts; reading a row again after a failed write; and showing what the table holds once
// a write is over. The row writer owns one and hands it to the writes of several cells or
// rows, so that they check and write rows exactly as a single edit does.

#include "db/odbc/dberror.h"
#include "db/values/valuerules.h"
#include "db/write/boundquery.h"
#include "db/write/tablekeys.h"
#include "db/write/writejob.h"

#include <QString>
#include <functional>
#include <memory>
#include <optional>

namespace db {

struct RecordsetData;
class WriteTransaction;

inline constexpr int kDefaultWriteTimeout = 30; // seconds

// "The change was not saved: " and why.
QString notSaved(const QString& why);

class WriteContext {
  public:
    explicit WriteContext(std::shared_ptr<RecordsetData> data);
    WriteContext(const WriteContext&) = delete;
    WriteContext& operator=(const WriteContext&) = delete;

    const std::shared_ptr<RecordsetData>& data() const { return data_; }
    // The stored rows' columns.
    const std::vector<ColumnInfo>& columns() const;
    const TableKeys& keys() const { return keys_; }
    void setKeys(TableKeys keys) { keys_ = std::move(keys); }
    // Seconds each write may take, begin and commit included (0: no limit).
    void setTimeout(int seconds) { timeout_ = seconds; }
    int timeout() const { return timeout_; }

    // The column as the write rules see it.
    ColumnType typeOf(int column) const;
    // A value as the write reads it: from the copy while a CopyScope is open, else from
    // the stored rows.
    CellValue stored(int row, int column) const;
    // The rows `stored` reads.
    const ResultTable& source() const { return *source_; }
    bool readsCopy() const { return source_ == &snapshot_; }

    // Copies stored rows for a write: copy i is stored row rows[i].
    void takeSnapshot(const std::vector<int>& rows);
    ResultTable& snapshot() { return snapshot_; }
    // The stored row of each copied row.
    const std::vector<int>& snapshotRows() const { return snapshotRows_; }

    // While it lives, the write reads the copy (never the stored rows, which may go on
    // growing on the window's thread) and collects the row to show; once it ends, the
    // write reads the stored rows again and no row to show is left behind.
    class CopyScope {
      public:
        explicit CopyScope(WriteContext& context);
        ~CopyScope();
        CopyScope(const CopyScope&) = delete;
        CopyScope& operator=(const CopyScope&) = delete;

      private:
        WriteContext& context_;
    };

    // The row to show after the write, as the server holds it: copy row, values.
    std::optional<std::pair<int, RowValues>>& shown() { return shown_; }

    // The row a step works on, read again after a failure.
    struct Current {
        int row = -1; // in the copied rows; -1: none (a row being added)
        int column = -1;
        CellValue original;
    };
    void setCurrent(Current current) { current_ = std::move(current); }
    const Current& current() const { return current_; }

    BoundQuery selectAll() const;
    // The same inside a write's transaction: on Adaptive Server with holdlock, so the rows
    // read stay as read, and no row joins them, until the transaction ends (isolation
    // level 3). The write then changes exactly the rows it checked.
    // With `count`, "SELECT count(*) ..." instead.
    BoundQuery selectHeld(bool count = false) const;
    // Runs a query made by selectHeld(true) with its conditions; the number it answers.
    static long long countRows(WriteTransaction& transaction, const BoundQuery& count);

    // Runs `step` in one transaction of its own: commits when it answers Written, else
    // (or when the server fails it) rolls back and says why. `current` names the row the
    // step works on, read again after a failure.
    CellWriteResult transact(const std::function<CellWriteResult(WriteTransaction&)>& step);
    // Reads the row again by its locator, with `column` holding `value`; true when
    // exactly one row answered (it is then the row to show).
    bool reread(int row, int column, const CellValue& value);
    CellWriteResult failed(int row, int column, const CellValue& original, const DbError& error);

    // Replaces the stored rows the write read again and appends the rows it added, on the
    // thread that owns the rows.
    void apply(CellWriteResult& result);

  private:
    std::shared_ptr<RecordsetData> data_;
    TableKeys keys_;
    int timeout_ = kDefaultWriteTimeout;
    std::optional<std::pair<int, RowValues>> shown_; // the row to show after this write
    Current current_;
    ResultTable snapshot_;                   // the rows being written, as begun
    std::vector<int> snapshotRows_;          // the stored row of each copied row
    const ResultTable* source_ = &snapshot_; // where the write reads stored values
};

} // namespace db

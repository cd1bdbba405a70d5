#pragma once

// One write of a recordset's rows to its table, in three steps: a typed `begin` checks it
// and keeps a copy of the rows it reads, on the thread that owns the rows, and answers at
// once unless the server must be asked (`pending`); `finish` talks to the server using only
// that copy, so it may run on a worker thread while the window paints and rows arrive;
// `apply` then shows what the table holds, again on the thread that owns the rows. The
// cell edit (RowWriter), the block of cells (CellBlockWriter), the delete (RowDeleter) and
// the insert (RowInserter) are write jobs.

#include "db/write/boundquery.h"

#include <QString>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace db {

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
    // Once applied: the stored rows `row` and `rows` replaced (they show the table anew).
    std::vector<int> replaced;
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

class WriteJob {
  public:
    virtual ~WriteJob() = default;
    // True when the server must be asked: `begin` has left work for `finish`.
    virtual bool pending() const = 0;
    // Talks to the server (any thread); reads only the job's own copy of the rows.
    virtual CellWriteResult finish() = 0;
    // Shows what the table holds, on the thread that owns the rows.
    virtual void apply(CellWriteResult& result) = 0;
};

// Runs a write's talk with the server (on a worker thread, say).
using WriteRunner = std::function<CellWriteResult(const std::function<CellWriteResult()>&)>;

// Carries `begun` (what the job's `begin` answered) to the end: finishes the job through
// `runner` when it is pending (at once when there is no runner), then applies the result.
CellWriteResult complete(WriteJob& job, CellWriteResult begun, const WriteRunner& runner = {});

} // namespace db

#pragma once

// Writes one edited cell of a recordset's rows back to its table: one UPDATE of that
// column, with the values bound as parameters, inside a transaction. The row is found by
// its locator (tablekeys.h) together with the edited column's value as it was read, so a
// change someone else made in the meantime is caught. Exactly one row must change, or
// the transaction is rolled back. After a write the row is read back, so values the
// server set (defaults, triggers, timestamps) show.

#include "db/boundquery.h"
#include "db/tablekeys.h"

#include <QString>
#include <memory>

namespace db {

struct RecordsetData;

enum class WriteStatus {
    Written,     // exactly one row changed (or there was nothing to change)
    RowChanged,  // none matched; the row is there but holds other values now
    RowVanished, // none matched; the row cannot be found as it was read
    Ambiguous,   // more than one matched: duplicates without a key
    Rejected,    // the server or the driver refused the statement
    ReadOnly,    // the cell cannot be written at all
};

struct CellWriteResult {
    WriteStatus status = WriteStatus::Written;
    QString message; // for the user, when nothing was written
};

class RowWriter {
  public:
    // Learns the table's keys through the recordset's connection. Never throws: a
    // recordset whose rows cannot be written gets a reason instead.
    explicit RowWriter(std::shared_ptr<RecordsetData> data);
    // Over keys already known (tests).
    RowWriter(std::shared_ptr<RecordsetData> data, TableKeys keys);

    // Why no cell can be written; empty when rows can be.
    const QString& readOnlyReason() const { return reason_; }
    // Why this column cannot be written (identity, computed, timestamp, binary); empty
    // when it can.
    QString columnReadOnlyReason(int column) const;
    bool canWrite(int column) const;
    const TableKeys& keys() const { return keys_; }

    // Writes `value` (nothing for NULL) into one stored cell. The stored row is replaced
    // by what the table holds after the write, and after a failed write when the row
    // could be read again; a write that changes nothing sends nothing.
    CellWriteResult write(int row, int column, const CellValue& value);

    // The UPDATE that `write` sends.
    BoundQuery updateStatement(int row, int column, const CellValue& value) const;

  private:
    CellValue stored(int row, int column) const;
    void appendCondition(BoundQuery& query, bool& first, int column, const CellValue& value) const;
    // Reads the row again by its locator, with `column` holding `value`; true when
    // exactly one row answered and replaced the stored one.
    bool reread(int row, int column, const CellValue& value);

    std::shared_ptr<RecordsetData> data_;
    TableKeys keys_;
    QString reason_;
};

} // namespace db

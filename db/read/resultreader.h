#pragma once

// Reads the pending result of a statement: column descriptions, then its rows in blocks.
// Internal to the layer.

#include "db/odbc/odbc.h"
#include "db/read/resulttable.h"

#include <functional>

namespace db {

// Describes the result's columns (name, type, size, nullability, read-only roles).
std::vector<ColumnInfo> describeColumns(const odbc::Statement& statement);

// Where a read hands its rows, and how it learns that it should stop.
class RowSink {
  public:
    virtual ~RowSink() = default;
    // Takes the next rows, in order. The first block comes as soon as it is read.
    virtual void deliver(RowBlock&& block) = 0;
    // Asked between blocks; true ends the read there.
    virtual bool stopRequested() const { return false; }
};

// Reads every row of the pending result (with these columns) into `sink`, then closes
// the cursor. Rows are fetched in blocks into bound buffers; when a value does not fit
// its buffer, the statement is run again with `reexecute`, the rows already handed over
// are passed by (the last of them must read the same again, or the read fails: the table
// changed under it), and the rest is fetched cell by cell, so no value is ever cut.
// Answers false when the sink asked to stop before the end.
bool streamRows(odbc::Statement& statement, const std::vector<ColumnInfo>& columns, RowSink& sink,
                const std::function<void()>& reexecute);

// Reads every row of the pending result into `table` (whose columns are set).
void readRows(odbc::Statement& statement, ResultTable& table,
              const std::function<void()>& reexecute);

} // namespace db

#pragma once

// Reads the pending result of a statement into a ResultTable: column descriptions, then
// every row. Internal to the layer.

#include "db/odbc.h"
#include "db/resulttable.h"

#include <functional>

namespace db {

// Describes the result's columns (name, type, size, nullability, read-only roles).
std::vector<ColumnInfo> describeColumns(const odbc::Statement& statement);

// Reads every row of the pending result into `table` (whose columns are set) and closes
// the cursor. Rows are fetched in blocks into bound buffers; when a value does not fit
// its buffer, the read starts over with `reexecute` (which runs the statement again) and
// fetches cell by cell, so no value is ever cut.
void readRows(odbc::Statement& statement, ResultTable& table,
              const std::function<void()>& reexecute);

} // namespace db

#pragma once

// Reads the pending result of a statement into a ResultTable: column descriptions, then
// every row. Internal to the layer.

#include "db/odbc.h"
#include "db/resulttable.h"

namespace db {

// Describes the result's columns (name, type, size, nullability, read-only roles).
std::vector<ColumnInfo> describeColumns(const odbc::Statement& statement);

// Reads every row of the pending result into `table` (whose columns are set) and closes
// the cursor.
void readRows(odbc::Statement& statement, ResultTable& table);

} // namespace db
